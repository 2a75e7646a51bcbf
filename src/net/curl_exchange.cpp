#include "net/curl_exchange.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <string>
#include <utility>

namespace trasslo {
namespace {

bool add_header(curl_slist*& list, const std::string& line) {
    curl_slist* next = curl_slist_append(list, line.c_str());
    if (!next) return false;
    list = next;
    return true;
}

// curl_global_init is not thread-safe; the first request of any thread does it once.

// Keeps the header block of the last response only: a redirect, a 100 Continue or a proxy's
// CONNECT reply each start a new block with their status line.
size_t on_header(char* data, size_t size, size_t count, void* user) {
    auto* response = static_cast<HttpResponse*>(user);
    const size_t n = size * count;
    std::string_view line(data, n);
    if (line.starts_with("HTTP/")) {
        response->raw_headers.clear();
        response->status_text.clear();
        // "HTTP/1.1 200 OK": the code after the first space, the text after the second.
        response->status = response_status_code(line);
        size_t sp = line.find(' ');
        if (sp != std::string_view::npos) {
            std::string_view rest = line.substr(sp + 1);
            size_t end = rest.find_first_of(" \r\n");
            if (end != std::string_view::npos && rest[end] == ' ') {
                std::string_view text = rest.substr(end + 1);
                while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
                    text.remove_suffix(1);
                response->status_text = std::string(text);
            }
        }
    }
    response->raw_headers.append(line);
    return n;
}

bool has_header(const std::vector<std::string>& headers, std::string_view name) {
    for (const std::string& line : headers) {
        if (line.size() > name.size() && (line[name.size()] == ':' || line[name.size()] == ';') &&
            ascii_lower(line.substr(0, name.size())) == ascii_lower(name))
            return true;
    }
    return false;
}

RequestError map_curl_error(CURLcode code) {
    switch (code) {
        case CURLE_OK:
            return RequestError::none;
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_URL_MALFORMAT:
            return RequestError::bad_address;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return RequestError::resolve;
        case CURLE_COULDNT_CONNECT:
            return RequestError::connect;
        case CURLE_OPERATION_TIMEDOUT:
            return RequestError::timeout;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
            return RequestError::tls;
        case CURLE_FILESIZE_EXCEEDED:
            return RequestError::too_large;
        case CURLE_ABORTED_BY_CALLBACK:
            return RequestError::aborted;
        case CURLE_TOO_MANY_REDIRECTS:
            return RequestError::redirect_loop;
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_PARTIAL_FILE:
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_HTTP2:
        case CURLE_BAD_CONTENT_ENCODING:
        case CURLE_WRITE_ERROR:
            return RequestError::transfer;
        default:
            return RequestError::other;
    }
}

// Spaces, control bytes and bytes above 0x7F (a GBK keyword left unencoded) are not valid in
// an address; they are sent percent-encoded, as a browser would.
std::string escape_url_bytes(std::string_view url) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(url.size());
    for (char c : url) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b >= 0x7F) {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 15];
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

size_t exchange_body(char* data, size_t size, size_t count, void* user) {
    auto* exchange = static_cast<CurlExchange*>(user);
    const size_t n = size * count;
    ByteBuffer& body = exchange->response_.body;
    exchange->response_.received_bytes += n;
    const std::size_t keep_first = std::min(exchange->request_.keep_first_bytes, kMaxBodyBytes);
    if (keep_first > 0 && body.size() + n >= keep_first) {
        const std::size_t wanted = keep_first - body.size();
        body.insert(body.end(), reinterpret_cast<const std::uint8_t*>(data),
                    reinterpret_cast<const std::uint8_t*>(data) + wanted);
        exchange->cut_ = true;
        return 0;  // enough: curl stops with a write error, which is no failure here
    }
    if (body.size() + n > kMaxBodyBytes) {
        exchange->over_cap_ = true;
        return 0;  // makes curl stop with a write error
    }
    body.insert(body.end(), reinterpret_cast<const std::uint8_t*>(data),
                reinterpret_cast<const std::uint8_t*>(data) + n);
    return n;
}

void curl_global_setup() {
    // curl_global_init is not thread-safe; the first request of any thread does it once.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CurlExchange::CurlExchange(HttpRequest request) : request_(std::move(request)) {
    curl_global_setup();
    easy_ = curl_easy_init();
    valid_ = easy_ && configure();
}

CurlExchange::~CurlExchange() {
    if (easy_) curl_easy_cleanup(easy_);
    if (headers_) curl_slist_free_all(headers_);
}

HttpResponse CurlExchange::finish(CURLcode result, bool cancelled) {
    if (char* url = nullptr;
        easy_ && curl_easy_getinfo(easy_, CURLINFO_EFFECTIVE_URL, &url) == CURLE_OK && url)
        response_.final_url = url;
    if (cancelled) {
        response_.error = RequestError::aborted;
    } else if (over_cap_) {
        response_.error = RequestError::too_large;
    } else if (cut_) {
        response_.error = RequestError::none;
    } else {
        response_.error = map_curl_error(result);
        // A reply curl refuses as no HTTP (an HTTP/0.9 one, say) came over a connection the
        // site accepted: a broken answer, not a bad address.
        long connects = 0;
        if (response_.error == RequestError::bad_address &&
            curl_easy_getinfo(easy_, CURLINFO_NUM_CONNECTS, &connects) == CURLE_OK && connects > 0)
            response_.error = RequestError::transfer;
        response_.proxy_fault = through_proxy() && failed_at_proxy(result);
        // A proxy that answered the tunnel's CONNECT with an error could not reach the site:
        // the site's connection failed, not its answer.
        long connect_code = 0;
        if (!response_.proxy_fault && response_.error == RequestError::transfer &&
            curl_easy_getinfo(easy_, CURLINFO_HTTP_CONNECTCODE, &connect_code) == CURLE_OK &&
            connect_code >= 300)
            response_.error = RequestError::connect;
    }
    if (!response_.ok()) {
        response_.body.clear();
        response_.body.shrink_to_fit();
    }
    return std::move(response_);
}

// Only a proxy named to the request counts: the environment's is curl's choice, and a visit
// has no other way to go instead of it.
bool CurlExchange::through_proxy() const {
    return request_.proxy.has_value();
}

// A failure of the way to the site rather than of the site: the proxy was not reached or did
// not answer in time, asked for another login, or (SOCKS) refused us. A proxy that reports the
// site unreachable (a 502 to CONNECT, a SOCKS "connection refused") is the site's failure.
bool CurlExchange::failed_at_proxy(CURLcode result) const {
    long connect_code = 0;
    curl_easy_getinfo(easy_, CURLINFO_HTTP_CONNECTCODE, &connect_code);
    // 407 as the protocol says; some proxies (tinyproxy) answer a CONNECT with 401.
    if (connect_code == 407 || connect_code == 401) return true;
    switch (result) {
        case CURLE_COULDNT_CONNECT:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return true;
        case CURLE_OPERATION_TIMEDOUT: {
            // Timed out before the proxy took the connection.
            curl_off_t connected = 0;
            curl_easy_getinfo(easy_, CURLINFO_CONNECT_TIME_T, &connected);
            return connected == 0;
        }
        case CURLE_PROXY: {
            long detail = CURLPX_OK;
            curl_easy_getinfo(easy_, CURLINFO_PROXY_ERROR, &detail);
            switch (detail) {
                case CURLPX_REPLY_CONNECTION_REFUSED:
                case CURLPX_REPLY_HOST_UNREACHABLE:
                case CURLPX_REPLY_NETWORK_UNREACHABLE:
                case CURLPX_REPLY_TTL_EXPIRED:
                case CURLPX_RESOLVE_HOST:
                    return false;
                default:
                    return true;
            }
        }
        default:
            return false;
    }
}

// Applies the request record to the handle; false when curl refused an essential setting.
bool CurlExchange::configure() {
    const HttpRequest& request = request_;
    CURL* h = easy_;
    bool ok = true;
    auto set = [&](CURLoption option, auto value) {
        if (curl_easy_setopt(h, option, value) != CURLE_OK) ok = false;
    };
    const std::string url = escape_url_bytes(request.url);
    set(CURLOPT_URL, url.c_str());
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    set(CURLOPT_WRITEFUNCTION, exchange_body);
    set(CURLOPT_WRITEDATA, static_cast<void*>(this));
    set(CURLOPT_HEADERFUNCTION, on_header);
    set(CURLOPT_HEADERDATA, static_cast<void*>(&response_));
    // A body that is only read up to a point may announce any length.
    if (request.keep_first_bytes == 0)
        set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxBodyBytes));

    // Method and body.
    if (request.send_body) {
        set(CURLOPT_POST, 1L);
        set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
        set(CURLOPT_POSTFIELDS,
            request.body.empty() ? "" : reinterpret_cast<const char*>(request.body.data()));
        if (request.method != "POST") set(CURLOPT_CUSTOMREQUEST, request.method.c_str());
    } else if (request.method == "HEAD") {
        set(CURLOPT_NOBODY, 1L);
    } else if (request.method == "GET" || request.method.empty()) {
        set(CURLOPT_HTTPGET, 1L);
    } else {
        set(CURLOPT_CUSTOMREQUEST, request.method.c_str());
    }

    // Header lines go out exactly as given; curl adds only Host (and Content-Length for a body).
    for (const std::string& line : request.headers) {
        if (line.find_first_of("\r\n") != std::string::npos) continue;  // no header injection
        if (!add_header(headers_, line)) return false;
    }
    if (!has_header(request.headers, "Expect")) add_header(headers_, "Expect:");
    if (!has_header(request.headers, "Accept")) add_header(headers_, "Accept:");
    set(CURLOPT_HTTPHEADER, headers_);
    if (!request.user_agent.empty() &&
        request.user_agent.find_first_of("\r\n") == std::string::npos)
        set(CURLOPT_USERAGENT, request.user_agent.c_str());

    // Time limits: the overall deadline is never above the cap.
    const long cap = request_deadline_cap();
    const long deadline = request.deadline_ms > 0 ? std::min(request.deadline_ms, cap) : cap;
    set(CURLOPT_TIMEOUT_MS, deadline);
    if (request.connect_timeout_ms > 0)
        set(CURLOPT_CONNECTTIMEOUT_MS, std::min(request.connect_timeout_ms, deadline));
    if (request.receive_timeout_ms > 0) {
        set(CURLOPT_LOW_SPEED_LIMIT, 1L);
        set(CURLOPT_LOW_SPEED_TIME, std::max(1L, (request.receive_timeout_ms + 999) / 1000));
    }

    set(CURLOPT_FOLLOWLOCATION, request.follow_redirects ? 1L : 0L);
    set(CURLOPT_MAXREDIRS, 20L);

    // Direct unless a proxy is named or the environment's is asked for: an empty proxy
    // overrides the environment's variables. A tunnel (CONNECT) for every scheme lets the site
    // receive the very bytes a direct request sends.
    if (request.proxy_tunnel) set(CURLOPT_HTTPPROXYTUNNEL, 1L);
    if (request.proxy_from_environment && !request.proxy) {
        // curl reads http_proxy, https_proxy, all_proxy and no_proxy itself.
    } else if (request.proxy) {
        set(CURLOPT_PROXY, request.proxy->c_str());
        set(CURLOPT_NOPROXY, request.no_proxy.c_str());
        if (!request.proxy_user.empty()) {
            set(CURLOPT_PROXYUSERNAME, request.proxy_user.c_str());
            set(CURLOPT_PROXYPASSWORD, request.proxy_password.c_str());
            set(CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_ANY));
        }
    } else {
        set(CURLOPT_PROXY, "");
        set(CURLOPT_NOPROXY, "*");
    }
    if (!request.user.empty()) {
        set(CURLOPT_USERNAME, request.user.c_str());
        set(CURLOPT_PASSWORD, request.password.c_str());
        set(CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_ANY));
    }

    // Certificates are verified (curl's default); the conventional variables name other roots.
    set(CURLOPT_SSL_VERIFYPEER, 1L);
    set(CURLOPT_SSL_VERIFYHOST, 2L);
    if (const char* file = std::getenv("SSL_CERT_FILE"); file && *file) set(CURLOPT_CAINFO, file);
    if (const char* dir = std::getenv("SSL_CERT_DIR"); dir && *dir) set(CURLOPT_CAPATH, dir);
    // Each exchange has a connection of its own: a pooled multi handle outlives the transfer
    // and its connection must not serve a later one, and a site sees one connection per visit.
    set(CURLOPT_FORBID_REUSE, 1L);
    return ok;
}

}  // namespace trasslo
