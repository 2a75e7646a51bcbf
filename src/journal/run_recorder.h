// What a trace run tells whoever keeps its record, and asks of it when it resumes. The run works
// without one; the journal (journal/journal_recorder.h) is the one the programs use.
#pragma once

#include <string_view>
#include <vector>

#include "engines/trace_engine.h"
#include "net/visit_outcome.h"
#include "text/local_text.h"

namespace trasslo {

// Where a visit stands in the run's plan: its round and keyword (from 1), and its engine's place
// in the engine list the keyword was visited with (from 1).
struct VisitPosition {
    int round = 0;
    int keyword = 0;
    int engine = 0;
};

// What a run works on: enough to make the same visits again.
struct RunInputs {
    int rounds = 1;
    LocalText interval;  // seconds, as the run read it when it started
    std::vector<LocalText> keywords;
    std::vector<TraceEngine> engines;
};

class RunRecorder {
  public:
    virtual ~RunRecorder() = default;

    // The run starts (or resumes) with these inputs.
    virtual void run_started(const RunInputs& inputs) = 0;
    // Whether the visit at `position` was made before: a resumed run does not make it again.
    virtual bool visit_recorded(const VisitPosition& position) = 0;
    // A visit ended (not given up); called before the next visit starts.
    virtual void visit_made(const VisitPosition& position, std::string_view keyword,
                            const TraceEngine& engine, const VisitOutcome& outcome) = 0;
    // The run ended: every planned visit made (`finished`), or stopped before that.
    virtual void run_ended(bool finished) = 0;
    // The run is about to end because its safeguard halted it (before run_ended(false)).
    virtual void run_halted() {}
};

}  // namespace trasslo
