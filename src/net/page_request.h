// One complete HTTP or HTTPS request returning the raw body: the request path of every
// "https://" address the program visits.
#pragma once

#include <optional>
#include <string_view>

#include "net/curl_request.h"
#include "text/local_text.h"

namespace trasslo {

// The optional arguments of page_request. A pointer that is null means "left out"; where an
// argument is in/out the call writes back through the pointer.
struct PageRequestOptions {
    long method = 0;                        // 1 = POST, other = GET; non-zero sends a body
    LocalText post_text{};                  // body when *post_bytes is empty
    std::optional<long> timeout_seconds{};  // left out: 30 s per connect/send/receive step
    ByteBuffer* post_bytes = nullptr;       // in/out: receives post_text's bytes when empty
    std::optional<LocalText> proxy{};       // given: every request goes through this proxy
    LocalText* cookies = nullptr;           // in/out; given: sent, then merged with the reply's
    LocalText* returned_cookies = nullptr;  // out: "name=value; name=value"
    LocalText* headers = nullptr;           // in/out: extra lines, CR LF separated; the
                                            // completed request header block is written back
    LocalText* returned_headers = nullptr;  // out: the raw response header block, CR LF lines
    bool no_redirect = false;               // true: a redirect is returned, not followed
};

// Requests `url` (absolute or scheme-less) and returns the response body; empty when the host
// cannot be reached, the exchange fails or runs past its deadline, or the body is over the
// size cap. Never throws; pumps pending events while waiting on the user-interface thread.
ByteBuffer page_request(std::string_view url, const PageRequestOptions& options = {});

// The same request, answered with the whole exchange (status, final address, what went wrong)
// for callers that judge a visit by more than its body. page_request is this with the body
// taken out.
HttpResponse page_request_exchange(std::string_view url, const PageRequestOptions& options = {});

// page_request_exchange in halves, for a caller that performs the exchange itself (the parallel
// run): the request it sends (nothing when the address names no host and port; the exchange is
// then unrequestable_exchange()), and the exchange completed from that request's answer.
std::optional<HttpRequest> page_request_prepare(std::string_view url,
                                                const PageRequestOptions& options = {});
HttpResponse page_request_complete(HttpResponse response, const PageRequestOptions& options = {});
HttpResponse unrequestable_exchange();

}  // namespace trasslo

namespace trasslo {

// The pieces of the request, for callers and tests that need them on their own.

// The agent name: the MSIE 9.0 name without a "User-Agent:" line (any case); else that
// line's value up to CR LF (case-sensitive), else everything after the first ':' of `headers`.
LocalText page_request_agent_name(std::string_view headers);

// The request header block: `headers` completed with Accept, Accept-Language, Content-Type
// (each unless present, case-sensitive) and the Cookie line, joined by CR LF.
LocalText page_request_header_block(std::string_view headers, std::string_view cookies);

// "name=value" of every Set-Cookie line of a raw header block, joined by "; ".
LocalText cookies_from_headers(std::string_view raw_headers);

}  // namespace trasslo
