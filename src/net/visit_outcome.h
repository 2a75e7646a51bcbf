// What one trace visit did: the visit fetch_title makes (same requests, attempts and pauses),
// answered with its whole outcome instead of the title alone, so that a run can tell a page
// that showed the keyword from a site that was down, and keep the proof.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "net/curl_request.h"
#include "net/http_client.h"
#include "net/proxy_pool.h"
#include "text/local_text.h"

namespace trasslo {

// Why a visit left no trace; `none` when its final response was a page (status below 400).
enum class VisitError {
    none,
    dns,            // the host name does not resolve
    connect,        // refused or unreachable
    bad_response,   // the site took the request, then closed, reset, cut its answer short or
                    // answered something that is not HTTP
    tls,            // handshake failed or certificate not trusted
    timeout,        // a step or the whole exchange ran out of time
    too_large,      // the body went over the size cap
    redirect_loop,  // redirects without end
    http,           // the final status is 400 or more
    rate_limited,   // the site kept answering 429 or 503 (parallel runs)
    site_down,      // not visited: the site failed too many visits in a row (parallel runs)
    too_long,       // not visited: the address is longer than kMaxAddressBytes
    challenge,      // the final answer was a challenge page (net/challenge_signs.h)
    proxy_failed,   // every proxy was resting: the visit was not made
};

// The longest address a visit requests; sites and proxies refuse longer ones, and a keyword
// that makes one is a mistake (a whole file pasted as one line).
inline constexpr std::size_t kMaxAddressBytes = 8192;
// How much of an address too long to visit the outcome keeps.
inline constexpr std::size_t kKeptAddressBytes = 256;

// The report's name of an error class: "", "dns", "connect", "bad-response", "tls", "timeout",
// "too-large", "redirect-loop", "http", "rate-limited", "site-down", "too-long", "challenge" or
// "proxy-failed".
std::string_view visit_error_name(VisitError error);

// The class of an exchange that ended with `error` after a final response of `status` (0 when
// none came). A stop (RequestError::aborted) is no class of its own; it reads as `none` here
// and the visit says it was abandoned.
VisitError visit_error_of(RequestError error, long status);

struct VisitOutcome {
    LocalText address;            // the template filled with the encoded keyword
    long status = 0;              // the last attempt's final status; 0 when no response came
    std::string final_address;    // the address of that response, after redirects
    int attempts = 0;             // requests made, 1 to 3
    std::int64_t elapsed_ms = 0;  // the whole visit, retries and their pauses included
    std::size_t bytes = 0;        // body bytes of the last attempt's response
    std::string charset;          // what the page was decoded from: "gbk", "utf-8", "big5",
                                  // "big5-hkscs", "utf-16le", "utf-16be"; empty without a body
    LocalText title;              // as fetch_title returns it
    bool echoed = false;          // the page's text shows the keyword (read by run/page_visit.h)
    bool noindex = false;         // a robots meta tag or an X-Robots-Tag header says noindex
    VisitError error = VisitError::none;
    // What the Retry-After of a last answer 429 or 503 asks for, in seconds; none without one.
    std::optional<long long> retry_after_seconds;
    std::string proxy;         // the route as scheme://host:port, empty when direct
    bool proxy_fault = false;  // the last attempt failed at its proxy, not at the site
    bool abandoned = false;    // given up on a stop (net/abandon_scope.h): no outcome to keep

    // A visit leaves a trace when it was not given up and its final response was a page: a
    // status from 200 to 399 and no error.
    bool left_trace() const {
        return !abandoned && error == VisitError::none && status >= 200 && status <= 399;
    }
};

// Reads an attempt's page (UTF-8, every character the page had) and raw response headers into the
// outcome's page facts (echoed, noindex). The request layer parses no HTML itself: a caller that
// wants those facts supplies the reader (run/page_visit.h), and fetch_title, which needs only the
// title, none.
using PageReader =
    std::function<void(std::string_view page_utf8, std::string_view raw_headers, VisitOutcome&)>;

// A visit's attempts are at most three, while the title is empty, with a pause between them. An
// attempt that timed out is the last: a site that did not answer in time will not answer a
// moment later.
inline constexpr int kVisitAttempts = 3;
inline constexpr long kAttemptPauseMs = 500;

// One visit as steps, for a driver that makes the exchanges: make_visit drives it blocking, one
// request at a time; the parallel run drives many over one multi handle. Either way the visit
// sends the same requests and reads the answers the same way.
//   for each attempt: begin_attempt() -> perform the request -> finish_attempt(answer);
//   while another_attempt(): pause kAttemptPauseMs and go again; then take_outcome().
class VisitSteps {
  public:
    // `timeout_ms` > 0 is the longest any request of the visit may take; 0 keeps the request
    // paths' own timeouts.
    VisitSteps(std::string_view address_template, std::string_view keyword, int encoding,
               PageReader read_page = {}, long timeout_ms = 0);
    VisitSteps(const VisitSteps&) = delete;
    VisitSteps& operator=(const VisitSteps&) = delete;

    // Starts the next attempt and gives its request; nothing when the address can not be
    // requested at all, and the attempt has then already ended as a failed exchange.
    std::optional<HttpRequest> begin_attempt();
    // Reads the attempt's answer into the outcome; true when another attempt follows.
    bool finish_attempt(HttpResponse exchange);
    bool another_attempt() const { return another_; }
    // The way every attempt reaches the site; without one, direct.
    void set_route(const ProxyRoute& route);
    // Given up on a stop: no further attempt, and the outcome says so.
    void abandon();
    // The status of the last attempt's final response; 0 when none came.
    long last_status() const { return outcome_.status; }
    // Whether the last attempt failed at its proxy rather than at the site.
    bool failed_at_proxy() const { return outcome_.proxy_fault; }
    // The raw header block of the last attempt's final response (Retry-After and such).
    const std::string& last_headers() const { return last_headers_; }
    // The outcome, its time measured from construction up to now. Called once.
    VisitOutcome take_outcome();

  private:
    using Clock = std::chrono::steady_clock;
    Clock::time_point start_;
    PageReader read_page_;
    HttpClient client_;  // the request object of the http path, kept across attempts
    bool secure_ = false;
    bool another_ = false;
    long timeout_ms_ = 0;
    std::string last_headers_;
    std::optional<ProxyRoute> route_;
    VisitOutcome outcome_;
};

// Makes the visit fetch_title makes and returns its outcome; fetch_title is this visit's title.
// `read_page`, when given, reads every attempt's page, so the last attempt's facts stand.
VisitOutcome make_visit(std::string_view address_template, std::string_view keyword, int encoding,
                        const PageReader& read_page = {}, long timeout_ms = 0,
                        const std::optional<ProxyRoute>& route = std::nullopt);

// Bounds every time limit of `request` by `timeout_ms` (the whole exchange included); a
// `timeout_ms` of 0 or less leaves the request as it is.
void limit_request_time(HttpRequest& request, long timeout_ms);

// The charset name of a charset code of text/charset.h (1 to 6); empty for any other.
std::string_view charset_name(int code);

}  // namespace trasslo
