// The trace run's record in the journal. It opens the journal when the run starts and writes
// each visit as it ends, into the visit log beside the journal (journal/visit_log.h), from which
// the visits are moved into the journal by the batch. A journal that cannot be opened or written
// never stops the run: the recorder says once, through its notice, that the journal is not being
// kept and why, and goes on without it.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "journal/journal.h"
#include "journal/run_recorder.h"
#include "journal/visit_log.h"

namespace trasslo {

class JournalRecorder : public RunRecorder {
  public:
    // Hears (UTF-8) why the journal is not kept, or that a corrupt one was set aside.
    using Notice = std::function<void(const std::string& text)>;

    // Records a new run from `source` in the journal `file`. With `memory_fallback`, a journal
    // that cannot be used is replaced by one in memory for the run's own report (journal()).
    JournalRecorder(std::filesystem::path file, RunSource source, Notice notice,
                    bool memory_fallback = false);
    // Continues the unfinished run `run` of an open journal (trasslo-cli run --resume).
    JournalRecorder(std::unique_ptr<Journal> journal, std::int64_t run, Notice notice);
    // Closes the journal, keeping the window's events going meanwhile.
    ~JournalRecorder() override;
    JournalRecorder(const JournalRecorder&) = delete;
    JournalRecorder& operator=(const JournalRecorder&) = delete;

    void run_started(const RunInputs& inputs) override;
    bool visit_recorded(const VisitPosition& position) override;
    void visit_made(const VisitPosition& position, std::string_view keyword,
                    const TraceEngine& engine, const VisitOutcome& outcome) override;
    void run_ended(bool finished) override;
    void run_halted() override { halted_ = true; }

    // The journal the run is kept in, and its id there; null / nothing once it is not kept.
    Journal* journal() const { return journal_.get(); }
    std::optional<std::int64_t> run_id() const { return run_; }

  private:
    void give_up(std::string why);  // by value: `why` may be the closing journal's own error text
    void start_log();
    // Moves the logged visits into the journal; false when the journal refused them.
    bool move_logged_visits();

    std::filesystem::path file_;
    RunSource source_ = RunSource::cli;
    Notice notice_;
    bool memory_fallback_ = false;
    std::unique_ptr<Journal> journal_;
    std::optional<std::int64_t> run_;
    bool resuming_ = false;
    std::unique_ptr<VisitLog> log_;
    std::vector<VisitRow> logged_;  // in the log, not yet in the journal
    std::chrono::steady_clock::time_point moved_at_{};
    bool halted_ = false;
};

}  // namespace trasslo
