// The process-wide facts of the trace run: whether a run is on, its stop flag and the count of
// stop requests. The window, the command line and the export read them; only the run and the
// stop request write them.
#pragma once

#include <cstdint>

namespace trasslo {

// The stop flag: set by a stop click, cleared when a run starts. The pause after each visit is
// ended by it. It stays set after a stopped run until the next start.
bool& trace_stop_flag();
// Counts stop requests since the process started, so that other long operations (the export)
// can tell a stop asked for while they run from a flag left over from an earlier run.
std::uint64_t trace_stop_requests();
// Asks the running run (and a running export) to stop: sets the flag and counts the request.
// The stop click does this; the command-line front end calls it on SIGINT and SIGTERM.
void request_trace_stop();

// Whether a trace run is going on. The run sets it for as long as it lasts (the start button then
// reads "停止留痕(…)" rather than "开始留痕"); the engine tree's Shift/Ctrl multi-ticking is
// suspended meanwhile.
void set_run_active(bool active);
bool run_active();

// Marks a run active for its own lifetime, and restores the earlier state when it ends.
class RunActiveScope {
  public:
    RunActiveScope();
    ~RunActiveScope();
    RunActiveScope(const RunActiveScope&) = delete;
    RunActiveScope& operator=(const RunActiveScope&) = delete;

  private:
    bool was_active_;
};

}  // namespace trasslo
