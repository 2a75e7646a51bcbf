#include "journal/journal_stats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <tuple>

#include <nlohmann/json.hpp>

namespace trasslo {
namespace {

// A visit that left a trace, as VisitOutcome::left_trace tells it from the stored columns.
constexpr const char* kTrace = "(error = '' AND status BETWEEN 200 AND 399)";

std::string read_error(const Journal& journal) {
    return "无法读取留痕记录 " + journal.file().string() + "：" + sqlite3_errmsg(journal.handle());
}

// The engine list (names and addresses, UTF-8) of the latest run a selection takes, with that
// run's start; nothing when it takes no run.
struct EngineOrder {
    std::int64_t started_ms = 0;
    std::vector<std::pair<std::string, std::string>> engines;
};

std::optional<EngineOrder> latest_engine_order(const JournalSelection& s) {
    const std::string where = selection_condition(s, "id");
    Statement latest(s.journal->handle(), "SELECT id, started_at FROM runs" +
                                              (where.empty() ? "" : " WHERE " + where) +
                                              " ORDER BY started_at DESC, id DESC LIMIT 1");
    if (!latest.valid()) return std::nullopt;
    bind_selection(latest, s);
    if (latest.step() != SQLITE_ROW) return std::nullopt;
    EngineOrder order;
    order.started_ms = latest.integer(1);
    Statement engines(s.journal->handle(),
                      "SELECT name, address FROM run_engines WHERE run_id = ?1 ORDER BY position");
    if (!engines.valid()) return std::nullopt;
    engines.bind(1, latest.integer(0));
    while (engines.step() == SQLITE_ROW)
        order.engines.emplace_back(to_utf8(engines.blob(0)), to_utf8(engines.blob(1)));
    return order;
}

void append_json_line(std::string& out, const EngineStats& row) {
    nlohmann::ordered_json object;
    object["engine"] = row.engine;
    object["address"] = row.address;
    object["visits"] = row.visits;
    object["traces"] = row.traces;
    object["echoed"] = row.echoed;
    object["failed"] = row.failed;
    object["top_error"] = row.top_error();
    object["last_visit"] = local_time_text(row.last_visit_ms);
    object["last_trace"] = local_time_text(row.last_trace_ms);
    object["trace_rate"] = std::round(row.trace_rate() * 1000) / 1000;
    out += object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    out += '\n';
}

}  // namespace

std::string selection_condition(const JournalSelection& s, std::string_view column) {
    std::string where;
    if (s.run) where = std::string(column) + " = ?1";
    if (s.since_ms || s.until_ms) {
        if (!where.empty()) where += " AND ";
        where += std::string(column) +
                 " IN (SELECT id FROM runs WHERE started_at >= ?2 AND started_at < ?3)";
    }
    return where;
}

void bind_selection(Statement& statement, const JournalSelection& s) {
    if (s.run) statement.bind(1, *s.run);
    if (s.since_ms || s.until_ms) {
        statement.bind(2, s.since_ms.value_or(INT64_MIN));
        statement.bind(3, s.until_ms.value_or(INT64_MAX));
    }
}

std::string EngineStats::top_error() const {
    std::string top;
    std::int64_t most = 0;
    for (const auto& [name, count] : failures)  // by name, so the first of a tie stays
        if (count > most) {
            top = name;
            most = count;
        }
    return top;
}

double EngineStats::trace_rate() const {
    return visits ? static_cast<double>(traces) / static_cast<double>(visits) : 0.0;
}

std::optional<std::vector<EngineStats>> engine_stats(std::span<const JournalSelection> selections,
                                                     std::string& error) {
    std::map<std::pair<std::string, std::string>, EngineStats> by_engine;
    std::optional<EngineOrder> order;
    for (const JournalSelection& s : selections) {
        const std::string where = selection_condition(s, "run_id");
        Statement groups(s.journal->handle(),
                         std::string("SELECT engine, template, error, COUNT(*), SUM(") + kTrace +
                             "), SUM(" + kTrace + " AND echoed), MAX(visited_at), MAX(CASE WHEN " +
                             kTrace + " THEN visited_at END) FROM visits" +
                             (where.empty() ? "" : " WHERE " + where) +
                             " GROUP BY engine, template, error");
        if (!groups.valid()) {
            error = read_error(*s.journal);
            return std::nullopt;
        }
        bind_selection(groups, s);
        int result;
        while ((result = groups.step()) == SQLITE_ROW) {
            const std::string engine(groups.text(0)), address(groups.text(1));
            EngineStats& row = by_engine[{engine, address}];
            row.engine = engine;
            row.address = address;
            const std::string error_name(groups.text(2));
            const std::int64_t count = groups.integer(3);
            row.visits += count;
            row.traces += groups.integer(4);
            row.echoed += groups.integer(5);
            if (!error_name.empty()) {
                row.failed += count;
                row.failures[error_name] += count;
            }
            row.last_visit_ms = std::max(row.last_visit_ms, groups.integer(6));
            if (!groups.is_null(7))
                row.last_trace_ms = std::max(row.last_trace_ms, groups.integer(7));
        }
        if (result != SQLITE_DONE) {
            error = read_error(*s.journal);
            return std::nullopt;
        }
        std::optional<EngineOrder> latest = latest_engine_order(s);
        if (latest && (!order || latest->started_ms >= order->started_ms))
            order = std::move(latest);
    }

    std::vector<EngineStats> rows;
    rows.reserve(by_engine.size());
    if (order)
        for (const auto& key : order->engines)
            if (auto found = by_engine.find(key); found != by_engine.end()) {
                rows.push_back(std::move(found->second));
                by_engine.erase(found);
            }
    for (auto& [key, row] : by_engine) rows.push_back(std::move(row));  // the map is by name
    return rows;
}

std::optional<std::vector<DayCounts>> daily_counts(std::span<const JournalSelection> selections,
                                                   std::string& error) {
    std::map<std::string, DayCounts> by_day;
    for (const JournalSelection& s : selections) {
        const std::string where = selection_condition(s, "run_id");
        Statement days(s.journal->handle(),
                       std::string("SELECT date(visited_at / 1000, 'unixepoch', 'localtime') AS "
                                   "day, COUNT(*), SUM(") +
                           kTrace + "), SUM(error <> '') FROM visits" +
                           (where.empty() ? "" : " WHERE " + where) + " GROUP BY day");
        if (!days.valid()) {
            error = read_error(*s.journal);
            return std::nullopt;
        }
        bind_selection(days, s);
        int result;
        while ((result = days.step()) == SQLITE_ROW) {
            DayCounts& day = by_day[std::string(days.text(0))];
            day.day = days.text(0);
            day.visits += days.integer(1);
            day.traces += days.integer(2);
            day.failed += days.integer(3);
        }
        if (result != SQLITE_DONE) {
            error = read_error(*s.journal);
            return std::nullopt;
        }
    }
    std::vector<DayCounts> out;
    for (auto& [day, counts] : by_day) out.push_back(std::move(counts));
    return out;
}

std::optional<std::int64_t> local_day_start_ms(std::string_view date) {
    int year = 0, month = 0, day = 0;
    char rest = 0;
    const std::string text(date);
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &year, &month, &day, &rest) != 3)
        return std::nullopt;
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&local);
    // mktime moves 2024-02-30 to March: such a date is refused rather than read as another.
    if (seconds == -1 || local.tm_year != year - 1900 || local.tm_mon != month - 1 ||
        local.tm_mday != day)
        return std::nullopt;
    return static_cast<std::int64_t>(seconds) * 1000;
}

std::string local_time_text(std::int64_t unix_ms) {
    if (unix_ms == 0) return "";
    const std::time_t seconds = static_cast<std::time_t>(unix_ms / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string rate_text(double rate) {
    char text[16];
    std::snprintf(text, sizeof text, "%.3f", rate);
    return text;
}

const std::vector<std::string_view>& stats_columns() {
    static const std::vector<std::string_view> columns = {
        "engine", "address",   "visits",     "traces",     "echoed",
        "failed", "top_error", "last_visit", "last_trace", "trace_rate",
    };
    return columns;
}

std::string stats_report(ReportFormat format, std::span<const EngineStats> rows) {
    std::string out = format == ReportFormat::csv ? csv_report_head(stats_columns()) : "";
    for (const EngineStats& row : rows) {
        if (format != ReportFormat::csv) {
            append_json_line(out, row);
            continue;
        }
        append_csv_field(out, row.engine);
        out += ',';
        append_csv_field(out, row.address);
        for (std::int64_t count : {row.visits, row.traces, row.echoed, row.failed})
            out += ',' + std::to_string(count);
        for (const std::string& text : {row.top_error(), local_time_text(row.last_visit_ms),
                                        local_time_text(row.last_trace_ms)}) {
            out += ',';
            append_csv_field(out, text);
        }
        out += ',' + rate_text(row.trace_rate()) + "\r\n";
    }
    return out;
}

}  // namespace trasslo
