// What the window's journal view lists: the runs with their totals, and one run's visits in a
// compact form that a million of fit in memory. Read on a worker thread with a journal of its
// own; a stop flag ends a long read early.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "journal/journal.h"

namespace trasslo {

struct RunOverview {
    std::int64_t id = 0;
    std::int64_t started_ms = 0, ended_ms = 0;  // ended_ms 0 while it has not ended
    std::string source, state;
    int engines = 0, ticked = 0;  // the engine list it had, and the ticked ones
    int keywords = 0;
    std::int64_t visits = 0, traces = 0;
};

// Every run, the latest first.
std::optional<std::vector<RunOverview>> run_overviews(Journal& journal, std::string& error);

// One visit as the view shows it; the engine by its place in RunVisits::engines.
struct VisitLine {
    int round = 0;
    std::int32_t engine = 0;
    std::int32_t status = 0;
    bool trace = false, echoed = false;
    std::string keyword, error, title;  // UTF-8; error is its report name ("" for none)
    std::int64_t visited_at = 0;
};

struct RunVisits {
    std::int64_t run = 0;
    std::vector<std::string> engines;  // the engine names met, in order of first visit
    std::vector<VisitLine> visits;     // in the order the run planned them
};

// The visits of `run`; nothing, with `error` set, when the journal could not be read or `stop`
// was set (then `error` is empty).
std::optional<RunVisits> run_visits(Journal& journal, std::int64_t run,
                                    const std::atomic<bool>& stop, std::string& error);

}  // namespace trasslo
