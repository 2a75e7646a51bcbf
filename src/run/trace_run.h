// The trace run: the start button's click logic. For every round, keyword and ticked engine it
// visits the engine's address with the keyword filled in (fetch_title), shows each page title,
// pauses the interval, and ends with a summary of the time used and the traces left.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "journal/run_recorder.h"
#include "net/visit_outcome.h"
#include "run/rate_limit.h"
#include "run/run_state.h"
#include "run/run_view.h"
#include "run/safeguard.h"
#include "text/local_text.h"

namespace trasslo {

// The outside world of a run, replaceable for measurements and tests. Empty members mean the
// real ones: visit_page (fetch_title's visit, with its outcome) for a visit and pause(ms, stop)
// for the wait after each visit.
struct RunServices {
    std::function<VisitOutcome(std::string_view address_template, std::string_view keyword,
                               int encoding)>
        visit;
    std::function<void(long milliseconds, const bool& stop)> wait;
    // Keeps the run's record (the journal); none: the run is not recorded. A resumed run's
    // recorder names the visits made before, which the run then skips.
    RunRecorder* recorder = nullptr;
    // The longest any request of a visit may take; 0 keeps the request paths' own timeouts.
    // Passed to the real visits only (services.visit replaces them whole).
    long timeout_ms = 0;
    // How a visit answered 429 or 503 is made again (the parallel run has its own settings).
    RateLimitSettings rate_limits{};
    // The proxies visits go through; none: direct.
    ProxyPool* proxies = nullptr;
    // Watches the visits; none: no safeguard. When it speaks, `halt` decides: true halts the
    // run as a stop does (recorded as halted), false goes on and the safeguard is rearmed.
    Safeguard* safeguard = nullptr;
    std::function<bool(const Safeguard&)> halt;
};

// What a click did, for front ends that report more than the window does.
struct RunReport {
    bool started = false;       // false: the click asked a running run to stop
    std::uint32_t total = 0;    // traces left: visits whose final response was a page
    std::uint32_t visits = 0;   // visits completed, traces or not
    std::uint32_t echoed = 0;   // traces whose page showed the keyword
    std::uint32_t noindex = 0;  // traces whose page forbids indexing
    bool stopped = false;       // ended by a stop request
    bool cancelled = false;     // ended by Cancel in the no-engine question
    bool halted = false;        // ended by the safeguard (stopped is then true too)
    std::int64_t elapsed_ms = 0;
};

// The click handler of "按钮开始留痕". With the caption "开始留痕" it runs a whole trace run and
// returns when it is over; otherwise (a run is active further up the stack, reached through the
// event pump) it sets the caption "停止中..." and the stop flag and returns at once. A stop during
// a visit gives up the visit's request at its next poll (net/abandon_scope.h); that visit is
// neither shown nor counted. A visit counts as a trace only when it left one
// (VisitOutcome::left_trace); the status line of one that did not ends with the reason.
RunReport on_start_button_clicked(RunView& view, const RunServices& services = {});

// The start button's first step, shared by the sequential and the parallel run: with a run
// active further up the stack, shows "停止中...", asks it to stop and returns false; otherwise
// shows "停止留痕", clears the stop flag and returns true.
bool take_start_click(RunView& view);

// After each visit of either run: feeds the safeguard and, when it speaks and `halt` says so,
// halts the run: the stop flag is set, the recorder told and the report marked. True when the
// run halts.
bool safeguard_halts_run(const RunServices& services, const VisitOutcome& outcome,
                         RunReport& report);

// The texts of the run, for views that need to recognise them.
LocalText idle_start_caption();  // "开始留痕"
LocalText no_engine_question_text();  // "请打勾至少一个留痕引擎再继续！点击【取消】停止运行"

// The status line of one visit: "(" K ":" j ") 【" name "】" title.
LocalText visit_status_text(int keyword_count, int keyword_number, std::string_view name,
                            std::string_view title);

// Counts a visit that ended in the report: visits, traces, and the traces' page facts.
void count_visit(RunReport& report, const VisitOutcome& outcome);

// The final message: "留痕完成！本次使用 " duration " 在目标网站上留下了 " total " 个痕迹！"
// ("留痕已停止！" after a stop), then on a line of its own "其中 N 个页面显示了关键词" and, when
// there are any, "，M 个页面禁止收录".
LocalText run_end_text(const RunReport& report);
// The final message box of a run with that text: information icon, OK.
MessageRequest run_end_message(const RunReport& report);

// The loop count as the run reads it: atoi rules, at least 1.
int read_loop_count(std::string_view text);
// The pause after a visit in milliseconds: the text read by atof rules as a float, times 1000,
// truncated toward zero; negative, empty or non-numeric text gives 0.
long read_interval_ms(std::string_view text);

}  // namespace trasslo
