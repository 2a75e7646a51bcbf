// Per-engine statistics over the journal's runs, and traces and failures per day: what the
// `stats` command, the HTML report and the window's journal view show. Each is one SQL
// aggregation per journal; several journals are joined by adding up their groups.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "journal/journal.h"
#include "journal/journal_report.h"

namespace trasslo {

// Which visits of a journal count: those of `run` (of every run when nothing) whose run started
// within [since_ms, until_ms) when those are given (Unix time in milliseconds).
struct JournalSelection {
    Journal* journal = nullptr;
    std::optional<std::int64_t> run;
    std::optional<std::int64_t> since_ms, until_ms;
};

// The runs a selection takes as an SQL condition on `column` (a run id), "" for every run;
// its parameters are ?1 to ?3, bound by bind_selection.
std::string selection_condition(const JournalSelection& selection, std::string_view column);
void bind_selection(Statement& statement, const JournalSelection& selection);

// One engine, told apart by its name and address template (UTF-8), over the selected visits.
struct EngineStats {
    std::string engine, address;
    std::int64_t visits = 0;
    std::int64_t traces = 0;  // visits whose final response was a page (200 to 399, no error)
    std::int64_t echoed = 0;  // traces whose page showed the keyword
    std::int64_t failed = 0;  // visits with an error
    std::map<std::string, std::int64_t> failures;       // failed visits by error name
    std::int64_t last_visit_ms = 0, last_trace_ms = 0;  // 0 when there is none

    // The commonest error among the failed visits, ties by name; "" when none failed.
    std::string top_error() const;
    // traces ÷ visits, 0 without visits.
    double trace_rate() const;
};

// The statistics of every engine of the selections, in the order of the engine list of the
// latest selected run (by its start), then the rest by name and address. Nothing, with `error`
// set, when a journal could not be read.
std::optional<std::vector<EngineStats>> engine_stats(std::span<const JournalSelection> selections,
                                                     std::string& error);

struct DayCounts {
    std::string day;  // "YYYY-MM-DD", local time of the visit
    std::int64_t visits = 0, traces = 0, failed = 0;
};

// Traces and failures per local day of the selected visits, days in order.
std::optional<std::vector<DayCounts>> daily_counts(std::span<const JournalSelection> selections,
                                                   std::string& error);

// The start of the local day "YYYY-MM-DD" in Unix milliseconds; nothing for a malformed or
// impossible date.
std::optional<std::int64_t> local_day_start_ms(std::string_view date);

// "YYYY-MM-DD HH:MM:SS" in local time; "" for 0.
std::string local_time_text(std::int64_t unix_ms);

// "0.667": a rate with three decimals.
std::string rate_text(double rate);

// The columns of the statistics: engine, address, visits, traces, echoed, failed, top_error,
// last_visit, last_trace, trace_rate.
const std::vector<std::string_view>& stats_columns();

// The statistics as a whole CSV file (as the report's: mark, header, CR LF) or as JSON Lines.
std::string stats_report(ReportFormat format, std::span<const EngineStats> rows);

}  // namespace trasslo
