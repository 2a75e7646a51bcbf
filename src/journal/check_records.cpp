#include "journal/check_records.h"

namespace trasslo {
namespace {

constexpr const char* kColumns =
    "checked_at, engine, address, keyword, verdict, status, final_address, charset, echoed,"
    " noindex, robots, suggested_encoding, elapsed_ms, title";

std::string failure(Journal& journal, std::string_view what) {
    return std::string(what) + " " + journal.file().string() + "：" +
           sqlite3_errmsg(journal.handle());
}

}  // namespace

bool record_check(Journal& journal, const CheckRecord& r, std::string& error) {
    Statement insert(journal.handle(), std::string("INSERT INTO checks(") + kColumns +
                                           ") VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10,"
                                           " ?11, ?12, ?13, ?14)");
    if (insert.valid()) {
        insert.bind(1, r.checked_ms);
        insert.bind_text(2, r.engine);
        insert.bind_text(3, r.address);
        insert.bind_text(4, r.keyword);
        insert.bind_text(5, r.verdict);
        insert.bind(6, r.status);
        insert.bind_text(7, r.final_address);
        insert.bind_text(8, r.charset);
        insert.bind(9, r.echoed ? 1 : 0);
        insert.bind(10, r.noindex ? 1 : 0);
        insert.bind_text(11, r.robots);
        insert.bind_text(12, r.suggested_encoding);
        insert.bind(13, r.elapsed_ms);
        insert.bind_text(14, r.title);
        if (insert.step() == SQLITE_DONE) return true;
    }
    error = failure(journal, "无法写入留痕记录");
    return false;
}

std::optional<std::map<std::string, CheckRecord>> latest_checks(Journal& journal,
                                                                std::string& error) {
    // The row added last for an address is its latest check, whatever the clocks said.
    Statement query(journal.handle(),
                    std::string("SELECT ") + kColumns +
                        " FROM checks WHERE id IN (SELECT MAX(id) FROM checks GROUP BY address)");
    if (!query.valid()) {
        error = failure(journal, "无法读取留痕记录");
        return std::nullopt;
    }
    std::map<std::string, CheckRecord> latest;
    int result;
    while ((result = query.step()) == SQLITE_ROW) {
        CheckRecord r;
        r.checked_ms = query.integer(0);
        r.engine = query.text(1);
        r.address = query.text(2);
        r.keyword = query.text(3);
        r.verdict = query.text(4);
        r.status = static_cast<long>(query.integer(5));
        r.final_address = query.text(6);
        r.charset = query.text(7);
        r.echoed = query.integer(8) != 0;
        r.noindex = query.integer(9) != 0;
        r.robots = query.text(10);
        r.suggested_encoding = query.text(11);
        r.elapsed_ms = query.integer(12);
        r.title = query.text(13);
        latest[r.address] = std::move(r);
    }
    if (result != SQLITE_DONE) {
        error = failure(journal, "无法读取留痕记录");
        return std::nullopt;
    }
    return latest;
}

}  // namespace trasslo
