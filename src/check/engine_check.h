// The check of one engine: does a search through it still leave a trace, and if not, why. One
// trace visit (run/page_visit.h, the visit a run makes) with the keyword; a second visit with
// the keyword in the other encoding (GBK <-> UTF-8) only when the first page did not show the
// keyword and nothing earlier decided; the site's robots.txt (check/site_robots.h) once the
// site answered. The verdict is the first of the list below that applies.
//
//   SiteRobots robots;                      // one per check of a list
//   const EngineCheck check = check_engine(engine, default_check_keyword(), robots);
//   puts(check_status_line(check));         // "【新浪】不显示关键词（状态码 200）"
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "check/site_robots.h"
#include "engines/trace_engine.h"
#include "journal/check_records.h"
#include "net/visit_outcome.h"
#include "text/local_text.h"

namespace trasslo {

// The longest any request of a check may take unless told otherwise: a stalled site costs the
// check of a list seconds, not minutes.
inline constexpr long kCheckTimeoutMs = 20000;

// In the order they are tried.
enum class Verdict {
    unreachable,        // no answer: the name does not resolve, refused or reset
    timeout,            // the visit hit its deadline
    tls_error,          // certificate not trusted, or the handshake failed
    challenge,          // the site answered with a challenge page (net/challenge_signs.h)
    rate_limited,       // 429, or 503 with a Retry-After: the site asks to be left alone
    http_error,         // final status 400 or more
    redirect_home,      // redirects ended on "/" without a query; the template's path is not "/"
    encoding_mismatch,  // not shown with the engine's encoding, shown with the other one
    not_echoed,         // the page does not show the keyword
    robots_disallow,    // robots.txt keeps Baiduspider or Googlebot from the address
    noindex,            // the page is marked noindex
    ok,
};

// "unreachable", "timeout", "tls-error", "challenge", "rate-limited", "http-error",
// "redirect-home",
// "encoding-mismatch", "not-echoed", "robots-disallow", "noindex", "ok"; and back (nothing for
// another text).
std::string_view verdict_name(Verdict verdict);
std::optional<Verdict> verdict_from_name(std::string_view name);

// What the terminal and the window show: "无法连接", "超时", "证书错误", "验证拦截", "访问受限",
// "网页错误",
// "跳转首页", "编码不符", "不显示关键词", "robots 禁止", "禁止收录", "有效".
LocalText verdict_display_name(Verdict verdict);

struct EngineCheck {
    TraceEngine engine;  // as it was checked
    LocalText keyword;
    Verdict verdict = Verdict::ok;
    VisitOutcome visit;                       // with the engine's own encoding
    std::optional<VisitOutcome> other_visit;  // with the other encoding, when one was made
    RobotsVerdict robots = RobotsVerdict::unknown;
    std::optional<int> suggested_encoding;  // engine_encoding_*, for encoding_mismatch
    std::int64_t elapsed_ms = 0;            // the whole check of the engine
    std::int64_t checked_ms = 0;            // when it ended, Unix time in milliseconds
    bool abandoned = false;  // given up on a stop: no verdict, nothing to show or record
};

// The check of one engine as steps, for a driver that makes the exchanges: check_engine drives
// it blocking, the parallel check many at once over one multi handle. Either way the check
// sends the same requests in the same order (first visit with its attempts, the site's
// robots.txt when not known yet, maybe the visit in the other encoding) and reaches the same
// verdict.
//   for (;;) switch (steps.next()) {
//       case request: steps.answer(perform(steps.request())); break;
//       case pause:   wait kAttemptPauseMs, then next() again;  break;
//       case done:    return steps.take_result();
//   }
class EngineCheckSteps {
  public:
    enum class Next { request, pause, done };

    // The check starts now; `robots` (and `proxies`, when given) must outlive it. No request
    // takes longer than `timeout_ms` (0 or less: the request paths' own timeouts). With
    // `proxies`, the visits and robots.txt go through the site's route, a visit that failed at
    // its proxy is made again through the next one, and every proxy resting gives unreachable.
    EngineCheckSteps(const TraceEngine& engine, std::string_view keyword, SiteRobots& robots,
                     long timeout_ms = kCheckTimeoutMs, ProxyPool* proxies = nullptr);
    ~EngineCheckSteps();
    EngineCheckSteps(const EngineCheckSteps&) = delete;
    EngineCheckSteps& operator=(const EngineCheckSteps&) = delete;

    // What the check does next. After `request`, request() is the exchange to make and
    // answer() takes its response; after `pause`, next() is called again once kAttemptPauseMs
    // passed (a visit's next attempt).
    Next next();
    const HttpRequest& request() const { return *request_; }
    void answer(HttpResponse response);
    // Given up on a stop: the check ends without a verdict (abandoned).
    void abandon();
    // The result once next() said done. Called once.
    EngineCheck take_result() { return std::move(check_); }

  private:
    enum class Stage { first_visit, robots, other_visit, done };
    void end_visit();
    void after_robots();
    void finish(Verdict verdict);
    void give_up();

    using Clock = std::chrono::steady_clock;
    Clock::time_point start_;
    SiteRobots& robots_;
    long timeout_ms_;
    EngineCheck check_;
    Stage stage_ = Stage::first_visit;
    std::unique_ptr<VisitSteps> visit_;
    bool paused_ = false;  // the pause before the visit's next attempt was taken
    std::optional<Verdict> early_;
    std::optional<HttpRequest> request_;
    ProxyPool* proxies_;
    std::optional<ProxyRoute> route_;
};

// Checks one engine (its address template and encoding) with `keyword` (local text) on the
// calling thread. At most two visits, and a robots.txt request for a site `robots` has not
// fetched yet. A stop asked through an abandon scope of the thread (net/abandon_scope.h) gives
// the check up at the request in flight: the result is then `abandoned`.
EngineCheck check_engine(const TraceEngine& engine, std::string_view keyword, SiteRobots& robots,
                         long timeout_ms = kCheckTimeoutMs, ProxyPool* proxies = nullptr);

// The check as the journal keeps it; and back, as far as a verdict, its reason and its time go.
CheckRecord check_record(const EngineCheck& check);

// The short reason behind a verdict (local text), from what the journal keeps: the status
// code, the final address, the suggested encoding; empty for ok.
//   "状态码 404"  "跳转到 http://a.cn/"  "应为 GBK 编码"
LocalText check_reason(const CheckRecord& record);

// The line of one checked engine: "【" name "】" verdict, then the reason in full-width brackets
// unless the verdict is ok: "【新浪】有效", "【百度】网页错误（状态码 404）".
LocalText check_status_line(const EngineCheck& check);

}  // namespace trasslo
