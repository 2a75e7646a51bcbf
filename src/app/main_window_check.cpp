// The main window's engine check: the menu line that starts and stops it, its progress in the
// status label and the bar, each engine's last verdict as its item's tooltip and greying, and
// the closing question.
#include <QAction>
#include <QDateTime>

#include <algorithm>

#include "app/main_window.h"
#include "app/proxy_settings.h"
#include "base/ui_dispatch.h"
#include "check/check_worker.h"
#include "engines/engine_list.h"
#include "journal/check_records.h"
#include "run/run_state.h"
#include "settings/settings_store.h"
#include "ui/qt/qt_engine_tree.h"
#include "ui/qt/qt_text.h"

namespace trasslo {
namespace {

const char* const kCheckCaption = "检测打勾的引擎";
const char* const kStopCaption = "停止检测";

// "检测结果：网页错误（状态码 404）" and the time of the check on the next line.
QString check_tooltip(const CheckRecord& record) {
    const std::optional<Verdict> verdict = verdict_from_name(record.verdict);
    LocalText text = local("检测结果：");
    text += verdict ? verdict_display_name(*verdict) : local(record.verdict);
    const LocalText reason = check_reason(record);
    if (!reason.empty()) text += local("（") + reason + local("）");
    return to_qstring(text) + QStringLiteral("\n检测时间：") +
           QDateTime::fromMSecsSinceEpoch(record.checked_ms).toString(u"yyyy-MM-dd HH:mm:ss");
}

bool greyed(const CheckRecord& record) {
    return record.verdict != verdict_name(Verdict::ok);
}

}  // namespace

void MainWindow::toggle_engine_check() {
    if (check_) {
        check_->stop();
        set_status_text(local("正在停止检测..."));
        return;
    }
    if (closing_) return;
    const std::vector<TraceEngine>& engines = engine_list().engines;
    check_positions_ = engines_to_check(engines, false);
    if (check_positions_.empty()) {
        MessageRequest message;
        message.text = local("没有打勾的留痕引擎");
        message.caption = local(kCheckCaption);
        message.icon = MessageIcon::warning;
        show_message(message);
        return;
    }
    std::vector<TraceEngine> chosen;
    chosen.reserve(check_positions_.size());
    for (std::size_t position : check_positions_) chosen.push_back(engines[position]);

    QPointer<MainWindow> self(this);
    CheckWorkerEvents events;
    events.checked = [self](std::size_t done, std::size_t total, const EngineCheck& check) {
        if (self) self->on_engine_checked(done, total, check);
    };
    events.finished = [self](const CheckTotals& totals, const std::vector<EngineCheck>& checks) {
        if (self) self->on_engine_check_finished(totals, checks);
    };
    events.notice = [self](const std::string& text) {
        if (self) self->set_status_text(local(text));
    };
    // The check's own bound, or the window's request timeout when that is shorter.
    const long setting = request_timeout_ms();
    const long timeout = setting > 0 ? std::min(setting, kCheckTimeoutMs) : kCheckTimeoutMs;
    // The window's proxies; a rested one is said in the status line, from the UI thread.
    std::shared_ptr<ProxyPool> proxies = proxy_pool_of(read_proxy_settings(settings_store()));
    proxies->warn = [self](const std::string& text) {
        post_to_ui([self, text] {
            if (self) self->set_status_text(local(text));
        });
    };
    check_ = std::make_unique<CheckWorker>(std::move(chosen), default_check_keyword(),
                                           journal_file_path(folder_), std::move(events), timeout,
                                           std::move(proxies));
    check_action_->setText(QString::fromUtf8(kStopCaption));
    if (!run_active()) {
        set_progress_maximum(static_cast<int>(check_positions_.size()));
        set_progress_position(0);
        set_progress_visible(true);
        show_engine_under_check(1, check_positions_.size());
    }
}

void MainWindow::show_engine_under_check(std::size_t number, std::size_t total) {
    // The engine as it was when the check began; it may have been deleted since.
    LocalText name;
    const std::vector<TraceEngine>& engines = engine_list().engines;
    if (number - 1 < check_positions_.size() && check_positions_[number - 1] < engines.size())
        name = local("【") + engines[check_positions_[number - 1]].name + local("】");
    set_status_text(local("检测 ") + std::to_string(number) + "/" + std::to_string(total) +
                    local("：正在检测") + name + local("..."));
}

void MainWindow::on_engine_checked(std::size_t done, std::size_t total, const EngineCheck& check) {
    mark_checked_engine(check, done - 1);
    // A run started meanwhile has the bar and the label.
    if (run_active() || closing_) return;
    set_progress_position(static_cast<int>(done));
    // The status names the engine the check now waits on; the last one's verdict stays until
    // the check's end replaces it.
    if (done < total) {
        show_engine_under_check(done + 1, total);
        return;
    }
    set_status_text(local("检测 ") + std::to_string(done) + "/" + std::to_string(total) +
                    local("：") + check_status_line(check));
}

void MainWindow::mark_checked_engine(const EngineCheck& check, std::size_t taken) {
    const CheckRecord record = check_record(check);
    CheckMark& mark = check_marks_[check.engine.address];
    mark = CheckMark{check_tooltip(record), greyed(record)};
    // The engine is where it was when the check began unless engines were added or deleted
    // since; then every item is looked at again.
    const std::vector<TraceEngine>& engines = engine_list().engines;
    if (taken < check_positions_.size()) {
        const std::size_t position = check_positions_[taken];
        if (position < engines.size() && engines[position].address == check.engine.address) {
            tree_->set_item_mark(static_cast<int>(position), mark.tooltip, mark.greyed);
            return;
        }
    }
    apply_check_marks();
}

void MainWindow::on_engine_check_finished(const CheckTotals& totals,
                                          const std::vector<EngineCheck>& checks) {
    check_.reset();
    check_positions_.clear();
    check_action_->setText(QString::fromUtf8(kCheckCaption));
    if (closing_) return;
    // The bar stays, with the outcome on it, until the next run or check.
    const LocalText done = check_done_text(totals);
    if (!run_active()) set_status_text(done);
    EngineList& list = engine_list();
    bool changed = false;
    // The suggested encodings first: an engine given the encoding that works stays ticked
    // (it no longer matches its failed check below).
    const auto mismatched = std::count_if(checks.begin(), checks.end(), [](const EngineCheck& c) {
        return !c.abandoned && c.suggested_encoding.has_value();
    });
    if (mismatched > 0) {
        MessageRequest question;
        question.text = std::to_string(mismatched) + local(" 个引擎的编码不符，改用建议的编码？");
        question.caption = local(kCheckCaption);
        question.buttons = MessageButtons::ok_cancel;
        question.icon = MessageIcon::question;
        if (show_message(question) == MessageAnswer::ok && !closing_)
            changed = apply_checks(list.engines, checks, false, true) > 0;
        if (closing_) return;
    }
    const bool still_invalid = std::any_of(checks.begin(), checks.end(), [&](const EngineCheck& c) {
        return !c.abandoned && c.verdict != Verdict::ok &&
               std::any_of(list.engines.begin(), list.engines.end(), [&](const TraceEngine& e) {
                   return e.enabled && e.address == c.engine.address && e.name == c.engine.name &&
                          e.encoding == c.engine.encoding;
               });
    });
    if (still_invalid) {
        MessageRequest question;
        question.text = done + local("。取消勾选无效的引擎？");
        question.caption = local(kCheckCaption);
        question.buttons = MessageButtons::ok_cancel;
        question.icon = MessageIcon::question;
        if (show_message(question) == MessageAnswer::ok && !closing_)
            changed = apply_checks(list.engines, checks, true, false) > 0 || changed;
        if (closing_) return;
    }
    if (!changed) return;
    // The engines that still exist were found by name, address and encoding.
    const int count = std::min(static_cast<int>(list.engines.size()), tree_->item_count());
    for (int i = 0; i < count; ++i) {
        const int state = list.engines[static_cast<std::size_t>(i)].enabled ? 1 : 0;
        if (tree_->check_state(i) != state) tree_->set_check_state(i, state);
    }
    save_engines();
}

void MainWindow::load_check_marks() {
    std::string error;
    const std::unique_ptr<Journal> journal =
        Journal::open(journal_file_path(folder_), Journal::Mode::read, error);
    if (!journal) return;  // no journal yet, or one that cannot be read: no marks to show
    const auto latest = latest_checks(*journal, error);
    if (!latest) return;
    for (const auto& [address, record] : *latest)
        check_marks_[local(address)] = CheckMark{check_tooltip(record), greyed(record)};
    apply_check_marks();
}

void MainWindow::apply_check_marks(int first) {
    if (check_marks_.empty() && recent_lines_.empty()) return;
    const std::vector<TraceEngine>& engines = engine_list().engines;
    const int count = std::min(static_cast<int>(engines.size()), tree_->item_count());
    for (int i = std::max(first, 0); i < count; ++i) {
        const LocalText& address = engines[static_cast<std::size_t>(i)].address;
        const auto found = check_marks_.find(address);
        const auto recent = recent_lines_.find(address);
        QString tooltip = found != check_marks_.end() ? found->second.tooltip : QString();
        if (recent != recent_lines_.end())
            tooltip += (tooltip.isEmpty() ? QString() : QStringLiteral("\n")) + recent->second;
        tree_->set_item_mark(i, tooltip, found != check_marks_.end() && found->second.greyed);
    }
}

void MainWindow::stop_engine_check() {
    // Gives the request in flight up at its next poll and waits for the worker: well within
    // the second a closing window has.
    check_.reset();
}

}  // namespace trasslo
