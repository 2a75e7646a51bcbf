// One prepared SQLite statement, owned: prepared from its text, bound, stepped, reset, and
// finalised when it goes. The journal and its reports talk to SQLite through it alone.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string_view>

namespace trasslo {

class Statement {
  public:
    Statement() = default;
    // Prepares `sql` on `db`; valid() tells whether that worked (sqlite3_errmsg says why not).
    Statement(sqlite3* db, std::string_view sql);
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool valid() const { return statement_ != nullptr; }

    // Parameters count from 1; texts and blobs are copied by SQLite.
    void bind(int index, std::int64_t value);
    void bind_text(int index, std::string_view text);
    void bind_blob(int index, std::string_view bytes);

    // SQLITE_ROW, SQLITE_DONE or the error code.
    int step();
    // Ready for the next use: reset, bindings cleared.
    void reset();

    // Columns count from 0; a text or blob is valid until the next step or reset.
    std::int64_t integer(int column) const;
    std::string_view text(int column) const;
    std::string_view blob(int column) const;
    bool is_null(int column) const;

  private:
    sqlite3_stmt* statement_ = nullptr;
};

// Runs SQL without results (several statements allowed); the SQLite result code.
int execute(sqlite3* db, const char* sql);

}  // namespace trasslo
