// The request layer under both request paths: one HTTP exchange over libcurl, described by a
// plain record and answered by a plain record. It owns the handle and header list of one
// transfer, bounds every exchange by an overall deadline and a body cap, goes direct unless
// told of a proxy, keeps no cookies and pumps window events while it waits.
#pragma once

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/local_text.h"

namespace trasslo {

// Why a transfer produced no complete response.
enum class RequestError {
    none,
    bad_address,    // unsupported scheme or malformed address
    resolve,        // host (or proxy) name unknown
    connect,        // refused or unreachable
    timeout,        // a step or the overall deadline ran out
    tls,            // handshake failed or certificate not trusted
    too_large,      // body over the cap
    aborted,        // cancelled by the caller, or given up under an AbandonScope
    redirect_loop,  // more redirects than any site needs
    transfer,       // connection broke or the reply was malformed
    other,
};

struct HttpRequest {
    std::string method = "GET";
    std::string url{};                   // absolute http:// or https:// address
    std::vector<std::string> headers{};  // "Name: value" lines, sent as they stand and in order;
                                         // "Name;" sends an empty value
    std::string user_agent{};            // sent unless a User-Agent line is in `headers`
    bool send_body = false;              // POST-like: send `body` (possibly empty)
    ByteBuffer body{};
    long connect_timeout_ms = 0;  // 0: library default
    long receive_timeout_ms = 0;  // a stall this long ends the transfer; 0: none
    long deadline_ms = 0;         // whole exchange; 0 or over the cap: the cap
    bool follow_redirects = true;
    std::optional<std::string> proxy{};   // left out: direct, whatever the environment says
    bool proxy_from_environment = false;  // without `proxy`: as curl reads http_proxy and the like
    bool proxy_tunnel = false;  // through an HTTP proxy with CONNECT, for http:// addresses too
    std::string no_proxy{};     // comma-separated hosts that bypass `proxy`
    std::string user{}, password{};  // server credentials, any scheme; empty: none
    std::string proxy_user{}, proxy_password{};
    const std::atomic<bool>* cancel = nullptr;  // set (from an event handler) to stop
    std::size_t keep_first_bytes = 0;  // > 0: a longer body is cut to this many bytes and the
                                       // exchange ends there as a success, instead of too_large
};

struct HttpResponse {
    RequestError error = RequestError::other;
    long status = 0;                 // 0 when no response line arrived
    std::string status_text{};       // "OK", "Not Found" ...
    std::string raw_headers{};       // status line and header lines of the final response,
                                     // CR LF as sent, ending with the empty line
    ByteBuffer body{};               // empty unless error == none
    std::string final_url{};         // the address last asked for, after the redirects followed
    std::size_t received_bytes = 0;  // body bytes that arrived, also when the body was refused
    bool proxy_fault = false;        // failed at the proxy: not reached, no answer, 407 or refused
    bool ok() const { return error == RequestError::none; }
};

// The agent name the trace visits send unless told otherwise: Internet Explorer 9's.
inline constexpr const char* kBrowserAgent =
    "Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; Trident/5.0)";

// Performs one exchange. Never throws; every failure is reported in `error` with an empty body.
// Ends with RequestError::aborted at the first poll after `cancel` is set or an AbandonScope of
// this thread asks (net/abandon_scope.h).
HttpResponse perform_request(const HttpRequest& request);

// The code of a status line or of a header block that starts with one: "HTTP/1.1 404 Not
// Found" gives 404; 0 when there is none.
long response_status_code(std::string_view status_line);

// The upper bound of every exchange: at most 120 s in the product. Tests lower it so that
// faults end quickly; values <= 0 or above 120 s restore 120 s.
void set_request_deadline_cap(long milliseconds);
long request_deadline_cap();

// The largest body an exchange accepts (32 MiB); a longer one gives RequestError::too_large.
constexpr std::size_t kMaxBodyBytes = 32u * 1024u * 1024u;

}  // namespace trasslo
