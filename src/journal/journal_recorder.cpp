#include "journal/journal_recorder.h"

#include "base/event_pump.h"

namespace trasslo {

JournalRecorder::JournalRecorder(std::filesystem::path file, RunSource source, Notice notice,
                                 bool memory_fallback)
    : file_(std::move(file)),
      source_(source),
      notice_(std::move(notice)),
      memory_fallback_(memory_fallback) {}

JournalRecorder::JournalRecorder(std::unique_ptr<Journal> journal, std::int64_t run, Notice notice)
    : notice_(std::move(notice)), journal_(std::move(journal)), run_(run), resuming_(true) {
    if (journal_) file_ = journal_->file();
}

namespace {

// A batch of logged visits goes into the journal when it is this large, or this old: soon
// enough for a report made meanwhile, seldom enough that a commit costs a fast run little.
constexpr std::size_t kBatchVisits = 64;
constexpr auto kBatchAge = std::chrono::seconds(1);

}  // namespace

JournalRecorder::~JournalRecorder() {
    if (journal_ && !logged_.empty()) move_logged_visits();
    log_.reset();  // removed unless it still holds visits the journal refused
    if (journal_) run_beside([this] { journal_.reset(); });
}

void JournalRecorder::start_log() {
    // A journal in memory, or a folder that takes no log: each visit goes in on its own.
    if (!journal_ || !run_ || journal_->file() == ":memory:") return;
    std::vector<VisitRow> left_over;
    log_ = VisitLog::create(journal_->file(), left_over);
    moved_at_ = std::chrono::steady_clock::now();
    // A log this process's id took over: its visits go in first, or the log stays as it is.
    if (log_ && !left_over.empty()) {
        if (journal_->record_visit_rows(left_over, true))
            log_->clear();
        else
            log_.reset();
    }
}

bool JournalRecorder::move_logged_visits() {
    moved_at_ = std::chrono::steady_clock::now();
    if (logged_.empty()) return true;
    if (!journal_->record_visit_rows(logged_)) return false;
    logged_.clear();
    if (log_) log_->clear();
    return true;
}

void JournalRecorder::give_up(std::string why) {
    const bool corrupt = journal_ && journal_->corrupt();
    // Visits logged and not moved in stay in the log for the next program that opens the
    // journal, unless the journal is set aside as corrupt: they belong to its runs.
    if (corrupt && log_) log_->clear();
    log_.reset();
    logged_.clear();
    journal_.reset();
    run_.reset();
    std::string text = "本次留痕不做记录：" + why;
    // Found corrupt while in use: kept aside, so that the next run starts a new journal.
    if (corrupt) {
        if (const auto aside = set_corrupt_journal_aside(file_))
            text += "（原文件已改名为 " + aside->string() + " 保留）";
    }
    if (notice_) notice_(text);
}

// Creating, opening and closing a journal sync the disk, which would freeze the window for tens
// of milliseconds: they run beside the window's events.
void JournalRecorder::run_started(const RunInputs& inputs) {
    if (resuming_) {
        if (journal_ && run_ && !journal_->reopen_run(*run_)) give_up(journal_->error());
        start_log();
        return;
    }
    // A long engine list takes a while to write too.
    std::string error;
    std::optional<std::filesystem::path> aside;
    run_beside([&] {
        journal_ = Journal::open(file_, Journal::Mode::write, error, &aside);
        if (journal_) run_ = journal_->begin_run(source_, inputs);
    });
    if (aside && notice_)
        notice_("留痕记录 " + file_.string() + " 已损坏，已改名为 " + aside->string() +
                " 保留，并新建留痕记录");
    if (!journal_) {
        if (notice_) notice_("本次留痕不做记录：" + error);
        if (memory_fallback_) journal_ = Journal::open_in_memory(error);
        if (journal_) run_ = journal_->begin_run(source_, inputs);
        return;
    }
    if (!run_) give_up(journal_->error());
    start_log();
}

bool JournalRecorder::visit_recorded(const VisitPosition& position) {
    return resuming_ && journal_ && run_ && journal_->visit_recorded(*run_, position);
}

void JournalRecorder::visit_made(const VisitPosition& position, std::string_view keyword,
                                 const TraceEngine& engine, const VisitOutcome& outcome) {
    if (!journal_ || !run_) return;
    VisitRow row = make_visit_row(*run_, position, keyword, engine, outcome);
    if (log_ && log_->append(row)) {
        logged_.push_back(std::move(row));
        if (logged_.size() < kBatchVisits &&
            std::chrono::steady_clock::now() - moved_at_ < kBatchAge)
            return;
    } else {
        // Without a log the visit is written on its own, after those logged before it.
        logged_.push_back(std::move(row));
        log_.reset();
    }
    if (!move_logged_visits()) give_up(journal_->error());
}

void JournalRecorder::run_ended(bool finished) {
    if (!journal_ || !run_) return;
    if (!move_logged_visits()) {
        give_up(journal_->error());
        return;
    }
    if (!journal_->end_run(*run_, finished  ? RunState::finished
                                  : halted_ ? RunState::halted
                                            : RunState::stopped))
        give_up(journal_->error());
}

}  // namespace trasslo
