#include "journal/sqlite_statement.h"

#include <utility>

namespace trasslo {

Statement::Statement(sqlite3* db, std::string_view sql) {
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &statement_, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(statement_);
        statement_ = nullptr;
    }
}

Statement::~Statement() {
    sqlite3_finalize(statement_);
}

Statement::Statement(Statement&& other) noexcept
    : statement_(std::exchange(other.statement_, nullptr)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(statement_);
        statement_ = std::exchange(other.statement_, nullptr);
    }
    return *this;
}

void Statement::bind(int index, std::int64_t value) {
    sqlite3_bind_int64(statement_, index, value);
}

void Statement::bind_text(int index, std::string_view text) {
    sqlite3_bind_text64(statement_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void Statement::bind_blob(int index, std::string_view bytes) {
    // A zero-length blob, not NULL, for an empty text.
    sqlite3_bind_blob64(statement_, index, bytes.empty() ? "" : bytes.data(), bytes.size(),
                        SQLITE_TRANSIENT);
}

int Statement::step() {
    return statement_ ? sqlite3_step(statement_) : SQLITE_MISUSE;
}

void Statement::reset() {
    if (!statement_) return;
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

std::int64_t Statement::integer(int column) const {
    return sqlite3_column_int64(statement_, column);
}

std::string_view Statement::text(int column) const {
    const unsigned char* data = sqlite3_column_text(statement_, column);
    if (!data) return {};
    return {reinterpret_cast<const char*>(data),
            static_cast<std::size_t>(sqlite3_column_bytes(statement_, column))};
}

std::string_view Statement::blob(int column) const {
    const void* data = sqlite3_column_blob(statement_, column);
    if (!data) return {};
    return {static_cast<const char*>(data),
            static_cast<std::size_t>(sqlite3_column_bytes(statement_, column))};
}

bool Statement::is_null(int column) const {
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

int execute(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

}  // namespace trasslo
