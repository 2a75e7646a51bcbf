#include "journal/journal_report.h"

#include <cerrno>
#include <charconv>
#include <cstring>

#include <nlohmann/json.hpp>

#include "files/system_error_text.h"

namespace trasslo {
namespace {

constexpr const char* kSelect =
    "SELECT run_id, round, keyword, engine, address, status, final_address, attempts,"
    " elapsed_ms, bytes, charset, title, echoed, noindex, error, proxy FROM visits";
// A journal of an earlier version, read as it is, has no proxy column: its visits were direct.
constexpr const char* kSelectWithoutProxy =
    "SELECT run_id, round, keyword, engine, address, status, final_address, attempts,"
    " elapsed_ms, bytes, charset, title, echoed, noindex, error, '' FROM visits";

// Column kinds in report_columns() order.
enum class Kind { number, text, flag };
constexpr std::array<Kind, 16> kKinds = {
    Kind::number, Kind::number, Kind::text,   Kind::text,   Kind::text, Kind::number,
    Kind::text,   Kind::number, Kind::number, Kind::number, Kind::text, Kind::text,
    Kind::flag,   Kind::flag,   Kind::text,   Kind::text,
};

// Rows are gathered into blocks of about this size before they are written.
constexpr std::size_t kBlock = 1 << 16;

void append_number(std::string& out, std::int64_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

bool flush(std::string& block, std::FILE* out) {
    const bool ok = std::fwrite(block.data(), 1, block.size(), out) == block.size();
    block.clear();
    return ok;
}

}  // namespace

void append_csv_field(std::string& out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out.append(text);
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

std::string csv_report_head(const std::vector<std::string_view>& columns) {
    std::string head = "\xEF\xBB\xBF";
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (c) head += ',';
        head.append(columns[c]);
    }
    head += "\r\n";
    return head;
}

const std::array<std::string_view, 16>& report_columns() {
    static constexpr std::array<std::string_view, 16> columns = {
        "run",           "round",    "keyword",    "engine", "address", "status",
        "final_address", "attempts", "elapsed_ms", "bytes",  "charset", "title",
        "echoed",        "noindex",  "error",      "proxy",
    };
    return columns;
}

std::optional<ReportFormat> report_format_of(std::string_view file_name) {
    const std::string lowered = ascii_lower(file_name);
    if (lowered.ends_with(".csv")) return ReportFormat::csv;
    if (lowered.ends_with(".jsonl")) return ReportFormat::jsonl;
    return std::nullopt;
}

void write_report_start(ReportFormat format, std::FILE* out, bool journal_column) {
    if (format != ReportFormat::csv) return;
    std::vector<std::string_view> columns(report_columns().begin(), report_columns().end());
    if (journal_column) columns.push_back("journal");
    const std::string header = csv_report_head(columns);
    std::fwrite(header.data(), 1, header.size(), out);
}

bool write_report_rows(Journal& journal, std::optional<std::int64_t> run, ReportFormat format,
                       std::FILE* out, std::string& error, const std::string* journal_name) {
    // The key's order is the plan's order, and reading along it needs no sorting.
    const std::string sql =
        std::string(journal.visits_have_proxy() ? kSelect : kSelectWithoutProxy) +
        (run ? " WHERE run_id = ?1 ORDER BY round, keyword_index, "
               "engine_index"
             : " ORDER BY run_id, round, keyword_index, engine_index");
    Statement rows(journal.handle(), sql);
    if (!rows.valid()) {
        error =
            "无法读取留痕记录 " + journal.file().string() + "：" + sqlite3_errmsg(journal.handle());
        return false;
    }
    if (run) rows.bind(1, *run);

    std::string block;
    block.reserve(kBlock + 4096);
    int result;
    while ((result = rows.step()) == SQLITE_ROW) {
        if (format == ReportFormat::csv) {
            for (std::size_t c = 0; c < kKinds.size(); ++c) {
                if (c) block += ',';
                const int column = static_cast<int>(c);
                if (kKinds[c] == Kind::text)
                    append_csv_field(block, rows.text(column));
                else
                    append_number(block, rows.integer(column));
            }
            if (journal_name) {
                block += ',';
                append_csv_field(block, *journal_name);
            }
            block += "\r\n";
        } else {
            nlohmann::ordered_json object;
            for (std::size_t c = 0; c < kKinds.size(); ++c) {
                const int column = static_cast<int>(c);
                const std::string name(report_columns()[c]);
                switch (kKinds[c]) {
                    case Kind::number:
                        object[name] = rows.integer(column);
                        break;
                    case Kind::flag:
                        object[name] = rows.integer(column) != 0;
                        break;
                    case Kind::text:
                        object[name] = std::string(rows.text(column));
                        break;
                }
            }
            if (journal_name) object["journal"] = *journal_name;
            block += object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
            block += '\n';
        }
        if (block.size() >= kBlock && !flush(block, out)) {
            error = "无法写出报告";
            return false;
        }
    }
    if (result != SQLITE_DONE) {
        error =
            "无法读取留痕记录 " + journal.file().string() + "：" + sqlite3_errmsg(journal.handle());
        return false;
    }
    if (!flush(block, out)) {
        error = "无法写出报告";
        return false;
    }
    return true;
}

bool write_report_file(Journal& journal, std::optional<std::int64_t> run, ReportFormat format,
                       const std::filesystem::path& file, std::string& error) {
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (!out) {
        error = "无法写出文件 " + file.string() + "：" + system_error_text(errno);
        return false;
    }
    std::setvbuf(out, nullptr, _IOFBF, 1 << 20);
    write_report_start(format, out);
    bool ok = write_report_rows(journal, run, format, out, error);
    const bool flushed = std::fflush(out) == 0 && !std::ferror(out);
    const int write_error = errno;
    ok = (std::fclose(out) == 0) && flushed && ok;
    if (!ok && error.empty())
        error = "无法写出文件 " + file.string() + "：" + system_error_text(write_error);
    return ok;
}

}  // namespace trasslo
