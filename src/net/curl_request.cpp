#include "net/curl_request.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "base/event_pump.h"
#include "net/abandon_scope.h"

namespace trasslo {
namespace {

constexpr long kDeadlineCapMs = 120000;
std::atomic<long> deadline_cap_ms{kDeadlineCapMs};

// curl_global_init is not thread-safe; the first request of any thread does it once.
void global_init() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// This thread's idle multi handles. Making one costs a socket pair and more, which a visit a
// millisecond long notices; each transfer takes one for itself, so a request started from an
// event pumped during another transfer gets a handle of its own.
class MultiPool {
  public:
    ~MultiPool() {
        for (CURLM* multi : idle_) curl_multi_cleanup(multi);
    }
    CURLM* take() {
        if (idle_.empty()) return curl_multi_init();
        CURLM* multi = idle_.back();
        idle_.pop_back();
        return multi;
    }
    void give_back(CURLM* multi) {
        if (idle_.size() < 4) {
            idle_.push_back(multi);
        } else {
            curl_multi_cleanup(multi);
        }
    }

  private:
    std::vector<CURLM*> idle_;
};

MultiPool& multi_pool() {
    thread_local MultiPool pool;
    return pool;
}

// The one owner of a transfer's curl handles and header list; all are released together.
class CurlTransfer {
  public:
    CurlTransfer() : easy_(curl_easy_init()), multi_(multi_pool().take()) {}
    ~CurlTransfer() {
        if (multi_ && easy_ && added_) curl_multi_remove_handle(multi_, easy_);
        if (easy_) curl_easy_cleanup(easy_);
        if (multi_) multi_pool().give_back(multi_);
        if (headers_) curl_slist_free_all(headers_);
    }
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    bool valid() const { return easy_ && multi_; }
    CURL* easy() const { return easy_; }
    CURLM* multi() const { return multi_; }
    bool add_header(const std::string& line) {
        curl_slist* next = curl_slist_append(headers_, line.c_str());
        if (!next) return false;
        headers_ = next;
        return true;
    }
    curl_slist* headers() const { return headers_; }
    bool start() {
        // The multi handle outlives the transfer: its connection must not serve a later one.
        curl_easy_setopt(easy_, CURLOPT_FORBID_REUSE, 1L);
        added_ = curl_multi_add_handle(multi_, easy_) == CURLM_OK;
        return added_;
    }

  private:
    CURL* easy_;
    CURLM* multi_;
    curl_slist* headers_ = nullptr;
    bool added_ = false;
};

struct Sink {
    HttpResponse* response;
    std::size_t keep_first = 0;  // HttpRequest::keep_first_bytes
    bool over_cap = false;
    bool cut = false;  // the body reached keep_first: the rest is not wanted
};

size_t on_body(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const size_t n = size * count;
    ByteBuffer& body = sink->response->body;
    sink->response->received_bytes += n;
    if (sink->keep_first > 0 && body.size() + n >= sink->keep_first) {
        const std::size_t wanted = sink->keep_first - body.size();
        body.insert(body.end(), reinterpret_cast<const std::uint8_t*>(data),
                    reinterpret_cast<const std::uint8_t*>(data) + wanted);
        sink->cut = true;
        return 0;  // enough: curl stops with a write error, which is no failure here
    }
    if (body.size() + n > kMaxBodyBytes) {
        sink->over_cap = true;
        return 0;  // makes curl stop with a write error
    }
    body.insert(body.end(), reinterpret_cast<const std::uint8_t*>(data),
                reinterpret_cast<const std::uint8_t*>(data) + n);
    return n;
}

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

// Applies the request record to the handle; false when curl refused an essential setting.
bool configure(CurlTransfer& t, const HttpRequest& request, HttpResponse& response, Sink& sink) {
    CURL* h = t.easy();
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
    set(CURLOPT_WRITEFUNCTION, on_body);
    set(CURLOPT_WRITEDATA, static_cast<void*>(&sink));
    set(CURLOPT_HEADERFUNCTION, on_header);
    set(CURLOPT_HEADERDATA, static_cast<void*>(&response));
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
        if (!t.add_header(line)) return false;
    }
    if (!has_header(request.headers, "Expect")) t.add_header("Expect:");
    if (!has_header(request.headers, "Accept")) t.add_header("Accept:");
    set(CURLOPT_HTTPHEADER, t.headers());
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

    // Direct unless a proxy is named: an empty proxy overrides the environment's variables.
    if (request.proxy) {
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
    return ok;
}

}  // namespace

long response_status_code(std::string_view status_line) {
    const size_t sp = status_line.find(' ');
    if (sp == std::string_view::npos) return 0;
    const std::string_view code = status_line.substr(sp + 1);
    // A status code has three digits; the library lets longer runs through on lines it reads
    // leniently, and reading all of them would overflow.
    long value = 0;
    for (size_t i = 0; i < code.size() && i < 3; ++i) {
        if (code[i] < '0' || code[i] > '9') break;
        value = value * 10 + (code[i] - '0');
    }
    return value;
}

void set_request_deadline_cap(long milliseconds) {
    deadline_cap_ms =
        (milliseconds <= 0 || milliseconds > kDeadlineCapMs) ? kDeadlineCapMs : milliseconds;
}

long request_deadline_cap() {
    return deadline_cap_ms.load();
}

HttpResponse perform_request(const HttpRequest& request) {
    HttpResponse response;
    try {
        global_init();
        CurlTransfer transfer;
        if (!transfer.valid()) return response;
        Sink sink{&response, std::min(request.keep_first_bytes, kMaxBodyBytes)};
        if (!configure(transfer, request, response, sink) || !transfer.start()) return response;

        // The multi interface lets the user-interface thread handle its events every 10 ms
        // at most while the transfer runs; on other threads the pump does nothing. A stop asked
        // for by one of those events (the caller's flag, or a stop of the visit this request
        // belongs to) ends the transfer at once.
        auto stop_asked = [&request] {
            return (request.cancel && request.cancel->load()) || abandon_requested();
        };
        CURLcode result = CURLE_OK;
        bool done = false;
        bool cancelled = false;
        while (!done) {
            int running = 0;
            if (curl_multi_perform(transfer.multi(), &running) != CURLM_OK) {
                result = CURLE_FAILED_INIT;
                break;
            }
            int queued = 0;
            while (CURLMsg* msg = curl_multi_info_read(transfer.multi(), &queued)) {
                if (msg->msg == CURLMSG_DONE) {
                    result = msg->data.result;
                    done = true;
                }
            }
            if (done) break;
            if (stop_asked()) {
                cancelled = true;
                break;
            }
            curl_multi_poll(transfer.multi(), nullptr, 0, 10, nullptr);
            process_pending_events();
            if (stop_asked()) {
                cancelled = true;
                break;
            }
        }
        if (char* url = nullptr;
            curl_easy_getinfo(transfer.easy(), CURLINFO_EFFECTIVE_URL, &url) == CURLE_OK && url)
            response.final_url = url;
        if (cancelled) {
            response.error = RequestError::aborted;
        } else if (sink.over_cap) {
            response.error = RequestError::too_large;
        } else if (sink.cut) {
            response.error = RequestError::none;
        } else {
            response.error = map_curl_error(result);
        }
    } catch (...) {
        response.error = RequestError::other;
    }
    if (!response.ok()) {
        response.body.clear();
        response.body.shrink_to_fit();
    }
    return response;
}

}  // namespace trasslo
