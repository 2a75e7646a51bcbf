#include "check/engine_check.h"

#include <array>
#include <chrono>

#include "net/abandon_scope.h"
#include "net/url_parts.h"
#include "run/page_visit.h"

namespace trasslo {
namespace {

struct VerdictNames {
    Verdict verdict;
    std::string_view name;
    std::string_view display;  // UTF-8
};

constexpr std::array<VerdictNames, 10> kVerdicts = {{
    {Verdict::unreachable, "unreachable", "无法连接"},
    {Verdict::timeout, "timeout", "超时"},
    {Verdict::tls_error, "tls-error", "证书错误"},
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

std::int64_t unix_ms_now() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
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
            return Verdict::unreachable;
        case VisitError::timeout:
            return Verdict::timeout;
        case VisitError::tls:
            return Verdict::tls_error;
        default:
            break;
    }
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

EngineCheck check_engine(const TraceEngine& engine, std::string_view keyword, SiteRobots& robots) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    EngineCheck check;
    check.engine = engine;
    check.keyword = LocalText(keyword);
    auto finish = [&](Verdict verdict) {
        check.verdict = verdict;
        check.elapsed_ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        check.checked_ms = unix_ms_now();
        return check;
    };
    auto given_up = [&] {
        check.abandoned = true;
        return finish(Verdict::ok);
    };

    check.visit = visit_page(engine.address, keyword, engine.encoding);
    if (check.visit.abandoned || abandon_requested()) return given_up();
    const std::optional<Verdict> early = transport_verdict(engine, check.visit);

    // robots.txt of every site that answered, for the report; it is read for the address the
    // visit asked for, the one a crawler would follow.
    if (!early || *early == Verdict::http_error || *early == Verdict::redirect_home) {
        check.robots = robots.verdict_for(check.visit.address);
        if (check.robots == RobotsVerdict::unknown) return given_up();
    }
    if (early) return finish(*early);

    if (!check.visit.echoed) {
        const int other = other_encoding(engine.encoding);
        check.other_visit = visit_page(engine.address, keyword, other);
        if (check.other_visit->abandoned || abandon_requested()) return given_up();
        if (!check.other_visit->echoed) return finish(Verdict::not_echoed);
        check.suggested_encoding = other;
        return finish(Verdict::encoding_mismatch);
    }
    if (check.robots == RobotsVerdict::disallow) return finish(Verdict::robots_disallow);
    if (check.visit.noindex) return finish(Verdict::noindex);
    return finish(Verdict::ok);
}

CheckRecord check_record(const EngineCheck& check) {
    CheckRecord record;
    record.checked_ms = check.checked_ms;
    record.engine = to_utf8(check.engine.name);
    record.address = to_utf8(check.engine.address);
    record.keyword = to_utf8(check.keyword);
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
