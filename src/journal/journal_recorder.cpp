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

JournalRecorder::~JournalRecorder() {
    if (journal_) run_beside([this] { journal_.reset(); });
}

void JournalRecorder::give_up(std::string why) {
    const bool corrupt = journal_ && journal_->corrupt();
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
}

bool JournalRecorder::visit_recorded(const VisitPosition& position) {
    return resuming_ && journal_ && run_ && journal_->visit_recorded(*run_, position);
}

void JournalRecorder::visit_made(const VisitPosition& position, std::string_view keyword,
                                 const TraceEngine& engine, const VisitOutcome& outcome) {
    if (!journal_ || !run_) return;
    if (!journal_->record_visit(*run_, position, keyword, engine, outcome))
        give_up(journal_->error());
}

void JournalRecorder::run_ended(bool finished) {
    if (!journal_ || !run_) return;
    if (!journal_->end_run(*run_, finished ? RunState::finished : RunState::stopped))
        give_up(journal_->error());
}

}  // namespace trasslo
