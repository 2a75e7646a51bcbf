#include "journal/journal_overview.h"

#include <algorithm>
#include <unordered_map>

namespace trasslo {

std::optional<std::vector<RunOverview>> run_overviews(Journal& journal, std::string& error) {
    Statement query(journal.handle(),
                    "SELECT r.id, r.started_at, COALESCE(r.ended_at, 0), r.source, r.state,"
                    " (SELECT COUNT(*) FROM run_engines e WHERE e.run_id = r.id),"
                    " (SELECT COUNT(*) FROM run_engines e WHERE e.run_id = r.id AND e.enabled),"
                    " r.keywords, COALESCE(v.visits, 0), COALESCE(v.traces, 0) FROM runs r"
                    " LEFT JOIN (SELECT run_id, COUNT(*) AS visits, SUM(error = '' AND status"
                    " BETWEEN 200 AND 399) AS traces FROM visits GROUP BY run_id) v"
                    " ON v.run_id = r.id ORDER BY r.id DESC");
    std::vector<RunOverview> runs;
    int result = query.valid() ? SQLITE_ROW : SQLITE_ERROR;
    while (query.valid() && (result = query.step()) == SQLITE_ROW) {
        RunOverview run;
        run.id = query.integer(0);
        run.started_ms = query.integer(1);
        run.ended_ms = query.integer(2);
        run.source = query.text(3);
        run.state = query.text(4);
        run.engines = static_cast<int>(query.integer(5));
        run.ticked = static_cast<int>(query.integer(6));
        const std::string_view keywords = query.blob(7);
        // Each keyword is followed by CR LF.
        for (std::size_t at = keywords.find("\r\n"); at != std::string_view::npos;
             at = keywords.find("\r\n", at + 2))
            ++run.keywords;
        run.visits = query.integer(8);
        run.traces = query.integer(9);
        runs.push_back(std::move(run));
    }
    if (result != SQLITE_DONE) {
        error =
            "无法读取留痕记录 " + journal.file().string() + "：" + sqlite3_errmsg(journal.handle());
        return std::nullopt;
    }
    return runs;
}

std::optional<RunVisits> run_visits(Journal& journal, std::int64_t run,
                                    const std::atomic<bool>& stop, std::string& error) {
    Statement count(journal.handle(), "SELECT COUNT(*) FROM visits WHERE run_id = ?1");
    Statement rows(journal.handle(),
                   "SELECT round, engine, status, error, echoed, keyword, title, visited_at"
                   " FROM visits WHERE run_id = ?1 ORDER BY round, keyword_index, engine_index");
    const auto failed = [&]() -> std::optional<RunVisits> {
        error =
            "无法读取留痕记录 " + journal.file().string() + "：" + sqlite3_errmsg(journal.handle());
        return std::nullopt;
    };
    if (!count.valid() || !rows.valid()) return failed();
    count.bind(1, run);
    rows.bind(1, run);
    RunVisits out;
    out.run = run;
    if (count.step() == SQLITE_ROW) out.visits.reserve(static_cast<std::size_t>(count.integer(0)));
    std::unordered_map<std::string, std::int32_t> engine_of;
    int result;
    while ((result = rows.step()) == SQLITE_ROW) {
        if ((out.visits.size() & 0xFFF) == 0 && stop.load(std::memory_order_relaxed)) {
            error.clear();
            return std::nullopt;
        }
        VisitLine line;
        line.round = static_cast<int>(rows.integer(0));
        const auto [found, added] = engine_of.try_emplace(
            std::string(rows.text(1)), static_cast<std::int32_t>(out.engines.size()));
        if (added) out.engines.push_back(found->first);
        line.engine = found->second;
        line.status = static_cast<std::int32_t>(rows.integer(2));
        line.error = rows.text(3);
        line.trace = line.error.empty() && line.status >= 200 && line.status <= 399;
        line.echoed = rows.integer(4) != 0;
        line.keyword = rows.text(5);
        line.title = rows.text(6);
        line.visited_at = rows.integer(7);
        out.visits.push_back(std::move(line));
    }
    if (result != SQLITE_DONE) return failed();
    return out;
}

}  // namespace trasslo
