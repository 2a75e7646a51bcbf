#include "run/trace_run.h"

#include <charconv>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>

#include "base/event_pump.h"
#include "net/abandon_scope.h"
#include "run/format_duration.h"
#include "run/page_visit.h"
#include "run/visit_reason.h"
#include "text/c_number.h"

namespace trasslo {
namespace {

// The 32-bit millisecond tick count the run measures itself with; differences wrap correctly.
std::uint32_t tick_count() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

LocalText decimal(long long value) {
    return std::to_string(value);
}

}  // namespace

LocalText idle_start_caption() {
    return local("开始留痕");
}
LocalText no_engine_question_text() {
    return local("请打勾至少一个留痕引擎再继续！点击【取消】停止运行");
}

LocalText visit_status_text(int keyword_count, int keyword_number, std::string_view name,
                            std::string_view title) {
    LocalText text =
        "(" + decimal(keyword_count) + ":" + decimal(keyword_number) + ") " + local("【");
    text.append(name);
    text += local("】");
    text.append(title);
    return text;
}

void count_visit(RunReport& report, const VisitOutcome& outcome) {
    ++report.visits;
    if (!outcome.left_trace()) return;
    ++report.total;
    if (outcome.echoed) ++report.echoed;
    if (outcome.noindex) ++report.noindex;
}

LocalText run_end_text(const RunReport& report) {
    LocalText text = local(report.stopped ? "留痕已停止！本次使用 " : "留痕完成！本次使用 ") +
                     format_duration(report.elapsed_ms) + local(" 在目标网站上留下了 ") +
                     decimal(report.total) + local(" 个痕迹！");
    text += "\n" + local("其中 ") + decimal(report.echoed) + local(" 个页面显示了关键词");
    if (report.noindex > 0)
        text += local("，") + decimal(report.noindex) + local(" 个页面禁止收录");
    return text;
}

MessageRequest run_end_message(const RunReport& report) {
    MessageRequest done;
    done.text = run_end_text(report);
    done.buttons = MessageButtons::ok;
    done.icon = MessageIcon::information;
    return done;
}

int read_loop_count(std::string_view text) {
    const long long value = read_c_integer(until_zero(text));
    if (value < 1) return 1;
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

long read_interval_ms(std::string_view text) {
    const float seconds = static_cast<float>(read_c_float(until_zero(text)));
    const double ms = std::trunc(static_cast<double>(seconds) * 1000.0);
    if (!(ms > 0)) return 0;  // negative, zero and NaN: no pause
    return ms >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<long>(ms);
}

bool safeguard_halts_run(const RunServices& services, const VisitOutcome& outcome,
                         RunReport& report) {
    if (!services.safeguard || !services.safeguard->after_visit(outcome)) return false;
    if (services.halt && !services.halt(*services.safeguard)) {
        services.safeguard->rearm();
        return false;
    }
    report.halted = true;
    request_trace_stop();
    if (services.recorder) services.recorder->run_halted();
    return true;
}

bool take_start_click(RunView& view) {
    if (view.start_caption() != idle_start_caption()) {
        // A run is active further up the stack: ask it to stop at its next check.
        view.set_start_caption(local("停止中..."));
        request_trace_stop();
        return false;
    }
    view.set_start_caption(local("停止留痕"));
    trace_stop_flag() = false;
    return true;
}

RunReport on_start_button_clicked(RunView& view, const RunServices& services) {
    RunReport report;
    if (!take_start_click(view)) return report;
    report.started = true;
    bool& stop_flag = trace_stop_flag();
    const std::uint32_t start = tick_count();
    const RunActiveScope active;
    auto elapsed = [start] { return static_cast<std::int64_t>(tick_count() - start); };

    const std::vector<LocalText> keywords = split_text(view.keyword_list_text(), "\r\n");
    const int keyword_count = static_cast<int>(keywords.size());
    view.set_progress_maximum(keyword_count);
    view.set_progress_position(0);
    view.set_status_text(local("留痕初始化中.."));
    view.set_progress_visible(true);
    const int rounds = read_loop_count(view.loop_count_text());

    const auto& visit = services.visit;
    const auto& wait = services.wait;
    RunRecorder* const recorder = services.recorder;
    if (recorder) {
        RunInputs inputs;
        inputs.rounds = rounds;
        inputs.interval = view.interval_text();
        inputs.keywords = keywords;
        inputs.engines = view.engine_snapshot();
        recorder->run_started(inputs);
    }
    // The pause after a visit and before a rate-limited one is made again; true when a stop
    // ended it.
    auto wait_ms_fn = [&](long milliseconds) {
        if (wait)
            wait(milliseconds, stop_flag);
        else
            pause(milliseconds, stop_flag);
        return stop_flag;
    };
    for (int round = 1; round <= rounds && !stop_flag && !report.cancelled; ++round) {
        view.set_round(round, rounds);
        for (int j = 1; j <= keyword_count; ++j) {
            if (stop_flag) break;
            const LocalText& keyword = keywords[static_cast<std::size_t>(j - 1)];
            const std::vector<TraceEngine> snapshot = view.engine_snapshot();
            view.set_progress_position(j);
            int visits = 0;
            for (std::size_t k = 0; k < snapshot.size(); ++k) {
                if (stop_flag) break;
                const TraceEngine& engine = snapshot[k];
                const VisitPosition position{round, j, static_cast<int>(k) + 1};
                if (engine.enabled && recorder && recorder->visit_recorded(position)) {
                    // Made before this run was resumed: not again, but the keyword had it.
                    ++visits;
                } else if (engine.enabled) {
                    if (!view.add_engine_dialog_open())
                        view.set_current_engine(static_cast<int>(k));
                    // A stop during the visit gives up its request at the next poll.
                    const AbandonScope abandon(stop_flag);
                    auto visit_once = [&] {
                        return visit ? visit(engine.address, keyword, engine.encoding)
                                     : visit_page(engine.address, keyword, engine.encoding,
                                                  services.timeout_ms, services.proxies);
                    };
                    VisitOutcome outcome = visit_once();
                    // A site that asks to be left alone is visited again after its wait.
                    RateLimitWaits waits;
                    while (asks_to_slow_down(outcome.status) && !outcome.abandoned &&
                           !abandon.abandoned() && !stop_flag) {
                        const std::optional<std::chrono::milliseconds> delay =
                            waits.next_wait(services.rate_limits, outcome.retry_after_seconds,
                                            read_interval_ms(view.interval_text()));
                        if (!delay) {
                            outcome.error = VisitError::rate_limited;
                            break;
                        }
                        view.set_status_text(visit_status_text(keyword_count, j, engine.name, {}) +
                                             local("（访问受限，") +
                                             format_duration(delay->count()) + local("后再访问）"));
                        if (wait_ms_fn(delay->count())) break;
                        outcome = visit_once();
                    }
                    ++visits;
                    // A visit given up, or stopped while it waited to be made again, is neither
                    // shown nor counted.
                    if (abandon.abandoned() || outcome.abandoned ||
                        (stop_flag && asks_to_slow_down(outcome.status)))
                        break;
                    if (recorder) recorder->visit_made(position, keyword, engine, outcome);
                    view.set_status_text(
                        visit_status_text(keyword_count, j, engine.name, outcome.title) +
                        visit_failure_reason(outcome));
                    count_visit(report, outcome);
                    if (safeguard_halts_run(services, outcome, report)) break;
                    // Keep "停止中..." on the button once a stop was asked for during the visit.
                    if (!stop_flag)
                        view.set_start_caption(local("停止留痕(") + format_duration(elapsed()) +
                                               ")");
                    wait_ms_fn(read_interval_ms(view.interval_text()));
                }
                process_pending_events();
            }
            if (visits == 0) {
                MessageRequest question;
                question.text = no_engine_question_text();
                question.buttons = MessageButtons::ok_cancel;
                question.icon = MessageIcon::warning;
                if (view.show_run_message(question) == MessageAnswer::cancel) {
                    report.cancelled = true;
                    break;
                }
            }
            process_pending_events();
        }
    }

    report.stopped = stop_flag;
    report.elapsed_ms = elapsed();
    // The record ends before the final message, which may wait on the user for long.
    if (recorder) recorder->run_ended(!report.stopped && !report.cancelled);
    view.set_start_caption(idle_start_caption());
    view.set_progress_visible(false);
    view.show_run_message(run_end_message(report));
    return report;
}

}  // namespace trasslo
