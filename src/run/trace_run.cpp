#include "run/trace_run.h"

#include <charconv>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>

#include "engines/run_active.h"
#include "net/abandon_scope.h"
#include "net/fetch_title.h"
#include "run/format_duration.h"
#include "ui/event_pump.h"

namespace trasslo {
namespace {

bool stop_flag = false;
std::uint64_t stop_request_count = 0;

// The 32-bit millisecond tick count the run measures itself with; differences wrap correctly.
std::uint32_t tick_count() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool is_c_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// atof's reading of a number, but independent of the process locale: the window's toolkit
// switches LC_NUMERIC to the user's, where "0.5" would read as 0 with a decimal comma.
double read_c_number(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_c_space(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::string_view rest = text.substr(i);
    double value = 0;
    auto format = std::chars_format::general;
    if (rest.size() > 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
        rest.remove_prefix(2);
        format = std::chars_format::hex;
    }
    // A sign after the one already taken is not a number ("+-1"), which from_chars would read.
    if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) return 0;
    auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), value, format);
    if (error == std::errc::result_out_of_range) {
        // atof gives HUGE_VAL for too large and about 0 for too small numbers; tell them apart
        // by the exponent's sign the way strtod would.
        const bool tiny = rest.find("e-") != std::string_view::npos ||
                          rest.find("E-") != std::string_view::npos ||
                          rest.find("p-") != std::string_view::npos ||
                          rest.find("P-") != std::string_view::npos;
        value = tiny ? 0.0 : HUGE_VAL;
    } else if (error != std::errc()) {
        value = 0;
    }
    (void)end;
    return negative ? -value : value;
}

LocalText decimal(long long value) {
    return std::to_string(value);
}

}  // namespace

bool& trace_stop_flag() {
    return stop_flag;
}
std::uint64_t trace_stop_requests() {
    return stop_request_count;
}
void request_trace_stop() {
    stop_flag = true;
    ++stop_request_count;
}

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

int read_loop_count(std::string_view text) {
    // atoi rules; strtol instead of atoi so that an overlong number cannot overflow.
    const std::string copy(until_zero(text));
    const long value = std::strtol(copy.c_str(), nullptr, 10);
    if (value < 1) return 1;
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

long read_interval_ms(std::string_view text) {
    const float seconds = static_cast<float>(read_c_number(until_zero(text)));
    const double ms = std::trunc(static_cast<double>(seconds) * 1000.0);
    if (!(ms > 0)) return 0;  // negative, zero and NaN: no pause
    return ms >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<long>(ms);
}

RunReport on_start_button_clicked(RunView& view, const RunServices& services) {
    RunReport report;
    if (view.start_caption() != idle_start_caption()) {
        // A run is active further up the stack: ask it to stop at its next check.
        view.set_start_caption(local("停止中..."));
        request_trace_stop();
        return report;
    }
    report.started = true;

    view.set_start_caption(local("停止留痕"));
    stop_flag = false;
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
    std::uint32_t total = 0;
    for (int round = 1; round <= rounds && !stop_flag && !report.cancelled; ++round) {
        for (int j = 1; j <= keyword_count; ++j) {
            if (stop_flag) break;
            const LocalText& keyword = keywords[static_cast<std::size_t>(j - 1)];
            const std::vector<TraceEngine> snapshot = view.engine_snapshot();
            view.set_progress_position(j);
            int visits = 0;
            for (std::size_t k = 0; k < snapshot.size(); ++k) {
                if (stop_flag) break;
                const TraceEngine& engine = snapshot[k];
                if (engine.enabled) {
                    if (!view.add_engine_dialog_open())
                        view.set_current_engine(static_cast<int>(k));
                    // A stop during the visit gives up its request at the next poll.
                    const AbandonScope abandon(stop_flag);
                    const LocalText title =
                        visit ? visit(engine.address, keyword, engine.encoding)
                              : fetch_title(engine.address, keyword, engine.encoding);
                    ++visits;
                    // A visit given up is neither shown nor counted as a trace.
                    if (abandon.abandoned()) break;
                    view.set_status_text(visit_status_text(keyword_count, j, engine.name, title));
                    ++total;
                    // Keep "停止中..." on the button once a stop was asked for during the visit.
                    if (!stop_flag)
                        view.set_start_caption(local("停止留痕(") + format_duration(elapsed()) +
                                               ")");
                    const long wait_ms = read_interval_ms(view.interval_text());
                    if (wait)
                        wait(wait_ms, stop_flag);
                    else
                        pause(wait_ms, stop_flag);
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

    report.total = total;
    report.stopped = stop_flag;
    report.elapsed_ms = elapsed();
    view.set_start_caption(idle_start_caption());
    view.set_progress_visible(false);
    MessageRequest done;
    done.text = local("留痕完成！本次使用 ") + format_duration(report.elapsed_ms) +
                local(" 在目标网站上留下了 ") + decimal(total) + local(" 个痕迹！");
    done.buttons = MessageButtons::ok;
    done.icon = MessageIcon::information;
    view.show_run_message(done);
    return report;
}

}  // namespace trasslo
