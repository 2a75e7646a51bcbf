#include "net/visit_outcome.h"

#include <chrono>
#include <ctime>
#include <utility>

#include "base/event_pump.h"
#include "net/abandon_scope.h"
#include "net/challenge_signs.h"
#include "net/http_client.h"
#include "net/page_request.h"
#include "net/retry_after.h"
#include "text/charset.h"
#include "text/html_entities.h"
#include "text/markers.h"
#include "text/url_encode.h"

namespace trasslo {

std::string_view visit_error_name(VisitError error) {
    switch (error) {
        case VisitError::none:
            return "";
        case VisitError::dns:
            return "dns";
        case VisitError::connect:
            return "connect";
        case VisitError::bad_response:
            return "bad-response";
        case VisitError::too_long:
            return "too-long";
        case VisitError::tls:
            return "tls";
        case VisitError::timeout:
            return "timeout";
        case VisitError::too_large:
            return "too-large";
        case VisitError::redirect_loop:
            return "redirect-loop";
        case VisitError::http:
            return "http";
        case VisitError::rate_limited:
            return "rate-limited";
        case VisitError::site_down:
            return "site-down";
        case VisitError::challenge:
            return "challenge";
        case VisitError::proxy_failed:
            return "proxy-failed";
    }
    return "";
}

VisitError visit_error_of(RequestError error, long status) {
    switch (error) {
        case RequestError::none:
        case RequestError::aborted:
            return status >= 400 ? VisitError::http : VisitError::none;
        case RequestError::resolve:
            return VisitError::dns;
        case RequestError::timeout:
            return VisitError::timeout;
        case RequestError::tls:
            return VisitError::tls;
        case RequestError::too_large:
            return VisitError::too_large;
        case RequestError::redirect_loop:
            return VisitError::redirect_loop;
        case RequestError::transfer:
            return VisitError::bad_response;
        case RequestError::bad_address:
        case RequestError::connect:
        case RequestError::other:
            return VisitError::connect;
    }
    return VisitError::connect;
}

std::string_view charset_name(int code) {
    switch (code) {
        case 1:
            return "gbk";
        case 2:
            return "utf-8";
        case 3:
            return "utf-16le";
        case 4:
            return "utf-16be";
        case 5:
            return "big5";
        case 6:
            return "big5-hkscs";
        default:
            return "";
    }
}

void limit_request_time(HttpRequest& request, long timeout_ms) {
    if (timeout_ms <= 0) return;
    auto bound = [timeout_ms](long& limit) {
        if (limit <= 0 || limit > timeout_ms) limit = timeout_ms;
    };
    bound(request.deadline_ms);
    bound(request.connect_timeout_ms);
    if (request.receive_timeout_ms > timeout_ms) request.receive_timeout_ms = timeout_ms;
}

VisitSteps::VisitSteps(std::string_view address_template, std::string_view keyword, int encoding,
                       PageReader read_page, long timeout_ms)
    : start_(Clock::now()), read_page_(std::move(read_page)), timeout_ms_(timeout_ms) {
    client_.initialise();
    secure_ = ascii_lower(address_template.substr(0, 8)) == "https://";
    outcome_.address = fill_template(address_template, keyword, encoding == 1);
    if (outcome_.address.size() > kMaxAddressBytes) {
        outcome_.address.resize(kKeptAddressBytes);
        outcome_.error = VisitError::too_long;
    }
}

std::optional<HttpRequest> VisitSteps::begin_attempt() {
    another_ = false;
    if (outcome_.error == VisitError::too_long) return std::nullopt;  // never requested
    ++outcome_.attempts;
    std::optional<HttpRequest> request;
    try {
        request = secure_ ? page_request_prepare(outcome_.address)
                          : client_.bytes_request(outcome_.address);
    } catch (...) {
    }
    if (!request) {
        finish_attempt(unrequestable_exchange());
    } else {
        limit_request_time(*request, timeout_ms_);
        if (route_) route_->apply(*request);
    }
    return request;
}

bool VisitSteps::finish_attempt(HttpResponse exchange) {
    // The exchange without its body, and the body: the http path reads the body through its
    // request object, the https path takes it as it came.
    ByteBuffer body;
    if (secure_) {
        exchange = page_request_complete(std::move(exchange));
        if (exchange.ok()) body = std::move(exchange.body);
    } else {
        body = client_.take_bytes_response(std::move(exchange));
        exchange = client_.request_object()->last_exchange();
    }
    if (exchange.error == RequestError::aborted) outcome_.abandoned = true;
    outcome_.status = exchange.status;
    outcome_.final_address = exchange.final_url;
    outcome_.bytes = exchange.received_bytes;
    outcome_.error = visit_error_of(exchange.error, exchange.status);
    outcome_.proxy_fault = exchange.proxy_fault;
    last_headers_ = exchange.raw_headers;
    // A site that asks to be left alone gets no attempt 500 ms later; the run decides when.
    const bool slow_down = exchange.status == 429 || exchange.status == 503;
    outcome_.retry_after_seconds =
        slow_down ? retry_after_seconds(exchange.raw_headers, std::time(nullptr)) : std::nullopt;

    const DecodedText page = decode_to_local_text(bytes_view(body), 0);
    outcome_.charset = body.empty() ? "" : std::string(charset_name(page.code));
    if (read_page_) {
        // A UTF-8 page as it came, so that characters GBK lacks can be found in it too.
        std::string_view utf8 = bytes_view(body);
        if (page.code == 2 && utf8.starts_with("\xEF\xBB\xBF")) utf8.remove_prefix(3);
        read_page_(page.code == 2 ? std::string(utf8) : to_utf8(page.text), exchange.raw_headers,
                   outcome_);
    }

    long position = 0;
    const LocalText title =
        slice_between_markers_lenient(page.text, "<title>", "</title>", position);
    if (!title.empty()) outcome_.title = decode_html_entities(title);
    if ((outcome_.error == VisitError::none || outcome_.error == VisitError::http) &&
        exchange.status > 0 &&
        challenge_signs()->matches({exchange.status, exchange.final_url, exchange.raw_headers,
                                    outcome_.title, page.text, outcome_.echoed}))
        outcome_.error = VisitError::challenge;
    // A proxy that failed is the driver's to replace; another attempt through it would not help.
    another_ = title.empty() && !outcome_.abandoned && !outcome_.proxy_fault &&
               outcome_.error != VisitError::challenge && outcome_.error != VisitError::timeout &&
               !slow_down && outcome_.attempts < kVisitAttempts;
    return another_;
}

void VisitSteps::set_route(const ProxyRoute& route) {
    route_ = route;
    outcome_.proxy = route.label();
}

void VisitSteps::abandon() {
    outcome_.abandoned = true;
    another_ = false;
}

VisitOutcome VisitSteps::take_outcome() {
    outcome_.elapsed_ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
    return std::move(outcome_);
}

VisitOutcome make_visit(std::string_view address_template, std::string_view keyword, int encoding,
                        const PageReader& read_page, long timeout_ms,
                        const std::optional<ProxyRoute>& route) {
    VisitSteps steps(address_template, keyword, encoding, read_page, timeout_ms);
    if (route) steps.set_route(*route);
    for (;;) {
        if (std::optional<HttpRequest> request = steps.begin_attempt())
            steps.finish_attempt(perform_request(*request));
        if (!steps.another_attempt()) break;
        // A visit given up on a stop makes no further attempt.
        pause_until_stopped(kAttemptPauseMs, abandon_requested);
        if (abandon_requested()) {
            steps.abandon();
            break;
        }
    }
    return steps.take_outcome();
}

}  // namespace trasslo
