#include "check/engine_check.h"

#include <array>
#include <chrono>

#include "base/event_pump.h"
#include "base/wall_clock.h"
#include "net/abandon_scope.h"
#include "net/curl_request.h"
#include "net/site_of_host.h"
#include "net/url_parts.h"
#include "run/page_visit.h"
#include "text/lossless_text.h"

namespace trasslo {
namespace {

struct VerdictNames {
    Verdict verdict;
    std::string_view name;
    std::string_view display;  // UTF-8
};

constexpr std::array<VerdictNames, 12> kVerdicts = {{
    {Verdict::unreachable, "unreachable", "无法连接"},
    {Verdict::timeout, "timeout", "超时"},
    {Verdict::tls_error, "tls-error", "证书错误"},
    {Verdict::challenge, "challenge", "验证拦截"},
    {Verdict::rate_limited, "rate-limited", "访问受限"},
    {Verdict::http_error, "http-error", "网页错误"},
    {Verdict::redirect_home, "redirect-home", "跳转首页"},
    {Verdict::encoding_mismatch, "encoding-mismatch", "编码不符"},
    {Verdict::not_echoed, "not-echoed", "不显示关键词"},
    {Verdict::robots_disallow, "robots-disallow", "robots 禁止"},
    {Verdict::noindex, "noindex", "禁止收录"},
    {Verdict::ok, "ok", "有效"},
}};

const VerdictNames& names_of(Verdict verdict) {
    return kVerdicts[static_cast<std::size_t>(verdict)];
}

int other_encoding(int encoding) {
    return encoding == engine_encoding_utf8 ? engine_encoding_gbk : engine_encoding_utf8;
}

std::string_view encoding_name(int encoding) {
    return encoding == engine_encoding_utf8 ? "utf-8" : "gbk";
}

bool is_root(std::string_view path) {
    return path.empty() || path == "/";
}

// Redirects that ended on a site's home page: a root path without a query, while the template
// asked for another path. Without a redirect the final path is the template's, so the test
// needs no redirect count.
bool ended_at_home(std::string_view address_template, const VisitOutcome& visit) {
    if (visit.final_address.empty()) return false;
    const UrlPieces final_address = split_url(visit.final_address);
    return is_root(final_address.path) && !final_address.has_query &&
           !is_root(split_url(address_template).path);
}

// The verdicts a visit decides by itself, before the page's text is looked at.
std::optional<Verdict> transport_verdict(const TraceEngine& engine, const VisitOutcome& visit) {
    switch (visit.error) {
        case VisitError::dns:
        case VisitError::connect:
        case VisitError::bad_response:
        case VisitError::too_long:
        case VisitError::proxy_failed:
            return Verdict::unreachable;
        case VisitError::challenge:
            return Verdict::challenge;
        case VisitError::timeout:
            return Verdict::timeout;
        case VisitError::tls:
            return Verdict::tls_error;
        default:
            break;
    }
    if (visit.status == 429 || (visit.status == 503 && visit.retry_after_seconds))
        return Verdict::rate_limited;
    if (visit.status >= 400) return Verdict::http_error;
    if (ended_at_home(engine.address, visit)) return Verdict::redirect_home;
    return std::nullopt;
}

}  // namespace

std::string_view verdict_name(Verdict verdict) {
    return names_of(verdict).name;
}

std::optional<Verdict> verdict_from_name(std::string_view name) {
    for (const VerdictNames& names : kVerdicts)
        if (names.name == name) return names.verdict;
    return std::nullopt;
}

LocalText verdict_display_name(Verdict verdict) {
    return local(names_of(verdict).display);
}

EngineCheckSteps::EngineCheckSteps(const TraceEngine& engine, std::string_view keyword,
                                   SiteRobots& robots, long timeout_ms, ProxyPool* proxies)
    : start_(Clock::now()), robots_(robots), timeout_ms_(timeout_ms), proxies_(proxies) {
    check_.engine = engine;
    check_.keyword = LocalText(keyword);
}

EngineCheckSteps::~EngineCheckSteps() = default;

EngineCheckSteps::Next EngineCheckSteps::next() {
    for (;;) {
        if (stage_ == Stage::done) return Next::done;
        if (stage_ == Stage::robots) return Next::request;
        // A visit: its first attempt, or the next one after its pause, or its end.
        if (!visit_) {
            const int encoding = stage_ == Stage::first_visit
                                     ? check_.engine.encoding
                                     : other_encoding(check_.engine.encoding);
            visit_ = std::make_unique<VisitSteps>(check_.engine.address, check_.keyword, encoding,
                                                  page_reader(check_.keyword), timeout_ms_);
            if (proxies_) {
                route_ = proxies_->choose(site_of_address(check_.engine.address));
                if (!route_) {
                    // Every proxy rests: no request, and never a direct one.
                    visit_.reset();
                    check_.visit =
                        proxy_failed_outcome(check_.engine.address, check_.keyword, encoding);
                    finish(Verdict::unreachable);
                    continue;
                }
                visit_->set_route(*route_);
            }
        } else if (paused_) {
            paused_ = false;
        } else if (visit_->another_attempt()) {
            paused_ = true;
            return Next::pause;
        } else if (route_ && !route_->environment && visit_->failed_at_proxy()) {
            // The way failed, not the site: the visit again through the next route.
            proxies_->failed(*route_);
            visit_.reset();
            continue;
        } else {
            if (route_ && !route_->environment) proxies_->succeeded(*route_);
            end_visit();
            if (stage_ == Stage::robots && route_) route_->apply(*request_);
            continue;
        }
        request_ = visit_->begin_attempt();
        if (request_) return Next::request;
        // An address that can not be requested: the attempt has ended already.
    }
}

void EngineCheckSteps::answer(HttpResponse response) {
    if (stage_ == Stage::robots) {
        // robots.txt of every site that answered, for the report; it is read for the address
        // the visit asked for, the one a crawler would follow.
        check_.robots = robots_.learn(check_.visit.address, response);
        if (check_.robots == RobotsVerdict::unknown) return give_up();
        return after_robots();
    }
    if (visit_) visit_->finish_attempt(std::move(response));
}

void EngineCheckSteps::end_visit() {
    VisitOutcome outcome = visit_->take_outcome();
    visit_.reset();
    const bool abandoned = outcome.abandoned || abandon_requested();
    if (stage_ == Stage::other_visit) {
        check_.other_visit = std::move(outcome);
        if (abandoned) return give_up();
        if (!check_.other_visit->echoed) return finish(Verdict::not_echoed);
        check_.suggested_encoding = other_encoding(check_.engine.encoding);
        return finish(Verdict::encoding_mismatch);
    }
    check_.visit = std::move(outcome);
    if (abandoned) return give_up();
    early_ = transport_verdict(check_.engine, check_.visit);
    if (!early_ || *early_ == Verdict::http_error || *early_ == Verdict::redirect_home) {
        if (const std::optional<RobotsVerdict> known =
                robots_.known_verdict(check_.visit.address)) {
            check_.robots = *known;
        } else {
            request_ = robots_.fetch_request(check_.visit.address);
            limit_request_time(*request_, timeout_ms_);
            stage_ = Stage::robots;
            return;
        }
    }
    after_robots();
}

void EngineCheckSteps::after_robots() {
    if (early_) return finish(*early_);
    if (!check_.visit.echoed) {
        stage_ = Stage::other_visit;  // the same keyword in the other encoding
        return;
    }
    if (check_.robots == RobotsVerdict::disallow) return finish(Verdict::robots_disallow);
    if (check_.visit.noindex) return finish(Verdict::noindex);
    finish(Verdict::ok);
}

void EngineCheckSteps::abandon() {
    if (visit_) visit_->abandon();
    give_up();
}

void EngineCheckSteps::finish(Verdict verdict) {
    stage_ = Stage::done;
    visit_.reset();
    check_.verdict = verdict;
    check_.elapsed_ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
    check_.checked_ms = unix_ms_now();
}

void EngineCheckSteps::give_up() {
    check_.abandoned = true;
    finish(Verdict::ok);
}

EngineCheck check_engine(const TraceEngine& engine, std::string_view keyword, SiteRobots& robots,
                         long timeout_ms, ProxyPool* proxies) {
    EngineCheckSteps steps(engine, keyword, robots, timeout_ms, proxies);
    for (;;) {
        switch (steps.next()) {
            case EngineCheckSteps::Next::request:
                steps.answer(perform_request(steps.request()));
                break;
            case EngineCheckSteps::Next::pause:
                // A check given up on a stop makes no further attempt.
                pause_until_stopped(kAttemptPauseMs, abandon_requested);
                if (abandon_requested()) steps.abandon();
                break;
            case EngineCheckSteps::Next::done:
                return steps.take_result();
        }
    }
}

CheckRecord check_record(const EngineCheck& check) {
    CheckRecord record;
    record.checked_ms = check.checked_ms;
    record.engine = to_utf8(check.engine.name);
    record.address = to_utf8(check.engine.address);
    record.keyword = lossless_to_utf8(check.keyword);
    record.verdict = verdict_name(check.verdict);
    record.status = check.visit.status;
    record.final_address = check.visit.final_address;
    record.charset = check.visit.charset;
    record.echoed = check.visit.echoed;
    record.noindex = check.visit.noindex;
    record.robots = robots_verdict_name(check.robots);
    if (check.suggested_encoding)
        record.suggested_encoding = encoding_name(*check.suggested_encoding);
    record.elapsed_ms = check.elapsed_ms;
    record.title = to_utf8(check.visit.title);
    return record;
}

LocalText check_reason(const CheckRecord& record) {
    const std::string status = "状态码 " + std::to_string(record.status);
    std::string reason;
    switch (verdict_from_name(record.verdict).value_or(Verdict::ok)) {
        case Verdict::unreachable:
            reason = record.status > 0 ? "连接中断" : "没有应答";
            break;
        case Verdict::timeout:
            reason = "超过时限";
            break;
        case Verdict::tls_error:
            reason = "证书不受信任或握手失败";
            break;
        case Verdict::rate_limited:
        case Verdict::http_error:
            reason = status;
            break;
        case Verdict::redirect_home:
            reason = "跳转到 " + record.final_address;
            break;
        case Verdict::encoding_mismatch:
            reason = record.suggested_encoding == "utf-8" ? "应改用 UTF-8 编码" : "应改用 GBK 编码";
            break;
        case Verdict::not_echoed:
            reason = status;
            if (!record.final_address.empty()) reason += "，网址 " + record.final_address;
            break;
        case Verdict::robots_disallow:
            reason = "robots.txt 不许抓取";
            break;
        case Verdict::noindex:
            reason = "网页标记了 noindex";
            break;
        case Verdict::ok:
            break;
    }
    return local(reason);
}

LocalText check_status_line(const EngineCheck& check) {
    LocalText line =
        local("【") + check.engine.name + local("】") + verdict_display_name(check.verdict);
    const LocalText reason = check_reason(check_record(check));
    if (!reason.empty()) line += local("（") + reason + local("）");
    return line;
}

}  // namespace trasslo
