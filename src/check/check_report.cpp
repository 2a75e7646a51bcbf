#include "check/check_report.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "files/system_error_text.h"
#include "journal/journal_report.h"

namespace trasslo {

const std::vector<std::string_view>& check_report_columns() {
    static const std::vector<std::string_view> columns = {
        "engine",     "address", "verdict", "status", "final_address",
        "charset",    "echoed",  "noindex", "robots", "suggested_encoding",
        "elapsed_ms", "title",   "proxy",
    };
    return columns;
}

std::string check_report_row(const EngineCheck& check) {
    const CheckRecord r = check_record(check);
    const std::string fields[] = {
        r.engine,
        r.address,
        r.verdict,
        std::to_string(r.status),
        r.final_address,
        r.charset,
        r.echoed ? "1" : "0",
        r.noindex ? "1" : "0",
        r.robots,
        r.suggested_encoding,
        std::to_string(r.elapsed_ms),
        r.title,
        check.visit.proxy,
    };
    std::string row;
    for (const std::string& field : fields) {
        if (&field != fields) row += ',';
        append_csv_field(row, field);
    }
    row += "\r\n";
    return row;
}

bool write_check_report(const std::filesystem::path& file, const std::vector<EngineCheck>& checks,
                        std::string& error) {
    std::string text = csv_report_head(check_report_columns());
    for (const EngineCheck& check : checks) text += check_report_row(check);
    std::FILE* out = std::fopen(file.c_str(), "wb");
    bool ok = out && std::fwrite(text.data(), 1, text.size(), out) == text.size();
    const int write_error = errno;
    if (out) ok = std::fclose(out) == 0 && ok;
    if (!ok) error = "无法写出文件 " + file.string() + "：" + system_error_text(write_error);
    return ok;
}

}  // namespace trasslo
