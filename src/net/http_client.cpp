#include "net/http_client.h"

#include <cmath>
#include <cstdlib>

#include "base/event_pump.h"
#include "net/curl_request.h"
#include "net/text_between.h"
#include "text/charset.h"

namespace trasslo {
namespace {

constexpr const char* kProbeAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)";
constexpr const char* kProbeAccept =
    "image/gif, image/x-xbitmap, image/jpeg, imagepeg, application/x-shockwave-flash, "
    "application/x-silverlight, */*";

}  // namespace

std::unique_ptr<HttpClient> HttpClient::copy() const {
    auto other = std::make_unique<HttpClient>();
    other->request_ = request_;
    other->stored_cookie_ = stored_cookie_;
    return other;
}

void HttpClient::initialise() {
    request_ = std::make_shared<WebRequest>();
}

void HttpClient::recreate() {
    request_.reset();
    initialise();
}

void HttpClient::reset() {
    recreate();
    clear_cookies();
}

void HttpClient::open(std::string_view method, std::string_view address, bool async) {
    if (!request_) return;
    std::string url(address);
    if (!ascii_lower(address).starts_with("http://")) url = "http://" + url;
    request_->open(method.empty() ? "GET" : method, url, async);
}

long HttpClient::status() {
    return request_ ? request_->status() : 0;
}
LocalText HttpClient::status_text() {
    return request_ ? request_->status_text() : LocalText();
}
LocalText HttpClient::response_text() {
    return request_ ? LocalText(until_zero(request_->response_text())) : LocalText();
}
ByteBuffer HttpClient::response_body() {
    return request_ ? request_->response_body() : ByteBuffer();
}
OptionValue HttpClient::response_stream() {
    return request_ ? OptionValue(request_->response_body()) : OptionValue();
}
OptionValue HttpClient::option(long index, const OptionValue& value) {
    return request_ ? request_->option(index, value) : OptionValue();
}
void HttpClient::set_proxy(std::string_view server, std::string_view bypass, long setting) {
    if (request_) request_->set_proxy(setting, server, bypass);
}
void HttpClient::set_credentials(std::string_view user, std::string_view password, long flags) {
    if (request_) request_->set_credentials(user, password, flags);
}
void HttpClient::set_request_header(std::string_view name, std::string_view value) {
    if (request_) request_->set_request_header(name, value);
}
LocalText HttpClient::get_response_header(std::string_view name) {
    return request_ ? request_->get_response_header(name) : LocalText();
}
LocalText HttpClient::get_all_response_headers() {
    return request_ ? request_->get_all_response_headers() : LocalText();
}
void HttpClient::send(std::string_view text, const ByteBuffer& bytes) {
    if (!request_) return;
    if (!bytes.empty()) {
        request_->send(bytes, true);
    } else if (!text.empty()) {
        request_->send(text_to_bytes(text), true);
    } else {
        request_->send();
    }
}
bool HttpClient::wait_for_response(long seconds) {
    return request_ && request_->wait_for_response(seconds);
}
void HttpClient::abort() {
    if (request_) request_->abort();
}
void HttpClient::set_timeouts(long resolve_ms, long connect_ms, long send_ms, long receive_ms) {
    if (!request_) return;
    if (connect_ms < 1) connect_ms = resolve_ms;
    if (send_ms < 1) send_ms = resolve_ms;
    if (receive_ms < 1) receive_ms = resolve_ms;
    request_->set_timeouts(resolve_ms, connect_ms, send_ms, receive_ms);
}
void HttpClient::set_client_certificate(std::string_view certificate) {
    if (request_) request_->set_client_certificate(certificate);
}
void HttpClient::set_auto_logon_policy(long policy) {
    if (request_) request_->set_auto_logon_policy(policy);
}

LocalText HttpClient::cookie_value(std::string_view name) {
    const LocalText all = get_all_response_headers();
    LocalText value = text_between(all, "Set-Cookie: " + LocalText(name) + "=", ";");
    if (value.empty()) value = text_between(all, "Set-Cookie:" + LocalText(name) + "=", ";");
    return value;
}

LocalText HttpClient::response_cookie_lines() {
    LocalText lines;
    for (const LocalText& line : split_text(get_all_response_headers(), "\r\n")) {
        if (line.starts_with("Set-Cookie:")) {
            lines += line;
            lines += "\r\n";
        }
    }
    return lines;
}

LocalText HttpClient::response_cookies() {
    return replace_text(replace_text(response_cookie_lines(), "Set-Cookie: ", ""), "\r\n", "; ");
}

LocalText HttpClient::probe_location(std::string_view address) {
    option(kOptionEnableRedirects, 0L);
    set_timeouts(5000, 5000, 10000, 5000);
    open("GET", address, false);
    set_request_header("User-Agent", kProbeAgent);
    set_request_header("Accept-Language", "zh-cn");
    set_request_header("Connection", "Keep-Alive");
    set_request_header("Accept", kProbeAccept);
    send({}, {});
    return get_response_header("Location");
}

LocalText HttpClient::redirect_target(std::string_view address, bool synchronous,
                                      std::string_view referer) {
    option(kOptionEnableRedirects, 0L);
    set_timeouts(5000, 5000, 10000, 5000);
    open("GET", address, !synchronous);
    set_request_header("User-Agent", kProbeAgent);
    set_request_header("Accept-Language", "zh-cn");
    set_request_header("Connection", "Keep-Alive");
    set_request_header("Accept", kProbeAccept);
    set_request_header("Referer", referer.empty() ? trim(address) : LocalText(referer));
    send({}, {});
    if (!synchronous) wait_for_response(25);
    return get_response_header("Location");
}

long HttpClient::stage_request(std::string_view address, const ClientRequestOptions& options,
                               double timeout) {
    const LocalText url = trim(address);
    const bool has_body = !options.post_text.empty() || !options.post_bytes.empty();
    open(has_body ? "POST" : "GET", url, !options.synchronous);
    set_request_header("Referer", options.referer.empty() ? url : options.referer);
    set_request_header("Content-Type", options.content_type.empty()
                                           ? LocalText("application/x-www-form-urlencoded")
                                           : options.content_type);
    set_request_header("User-Agent",
                       options.user_agent.empty() ? LocalText(kBrowserAgent) : options.user_agent);
    for (const LocalText& line : split_text(options.extra_headers, "\r\n")) {
        if (line.find(": ") == LocalText::npos) continue;
        const std::vector<LocalText> parts = split_text(line, ": ");
        if (parts.size() >= 2 && !parts[0].empty() && !parts[1].empty())
            set_request_header(parts[0], parts[1]);
    }

    LocalText local_cookie;
    LocalText& cookie = options.cookie ? *options.cookie : local_cookie;
    if (!stored_cookie_.empty() && cookie.empty()) cookie = stored_cookie_;
    if (cookie == "-1") {
        set_request_header("Cookie", "");
    } else if (!cookie.empty()) {
        set_request_header("Cookie", cookie);
    }

    const bool own_timeouts = std::fabs(timeout + 1) < 1e-7;
    const bool short_timeout = timeout < 1 - 1e-7;
    if (!own_timeouts) {
        if (short_timeout) {
            set_timeouts(10000, 10000, 60000, 120000);
        } else {
            const long ms = static_cast<long>(timeout * 1000);
            set_timeouts(ms, ms, ms, ms);
        }
    }

    if (options.proxy && *options.proxy != "-1") {
        LocalText proxy = *options.proxy;
        if (proxy == "IE") {
            // The system proxy setting of this platform is the conventional variable.
            const char* value = std::getenv("http_proxy");
            proxy = value ? value : "";
            process_pending_events();
        }
        set_proxy(proxy, "", proxy.empty() ? 0 : 2);
    }

    send(options.post_text, options.post_bytes);
    return short_timeout ? 120 : static_cast<long>(timeout);
}

void HttpClient::make_request(std::string_view address, const ClientRequestOptions& options,
                              double timeout) {
    const long wait_seconds = stage_request(address, options, timeout);
    if (!options.synchronous) wait_for_response(wait_seconds);
    if (options.keep_cookies) stored_cookie_ = response_cookies();
}

std::optional<HttpRequest> HttpClient::bytes_request(std::string_view address,
                                                     const ClientRequestOptions& options) {
    if (!request_ || options.synchronous) return std::nullopt;
    const long wait_seconds = stage_request(address, options, std::trunc(options.timeout_seconds));
    // As wait_for_response bounds the pending request.
    return request_->take_pending(wait_seconds >= 1 ? wait_seconds * 1000 : 0);
}

ByteBuffer HttpClient::take_bytes_response(HttpResponse response,
                                           const ClientRequestOptions& options) {
    if (!request_) return {};
    request_->take_response(std::move(response));
    if (options.keep_cookies) stored_cookie_ = response_cookies();
    return response_body();
}

LocalText HttpClient::request_text(std::string_view address, const ClientRequestOptions& options) {
    if (!request_) return {};
    make_request(address, options, options.timeout_seconds);
    switch (options.result_encoding) {
        case -2:
            return response_text();
        case -1: {
            const ByteBuffer body = response_body();
            return LocalText(until_zero(bytes_view(body)));
        }
        default:
            return decode_bytes_to_local_text(response_body(), options.result_encoding);
    }
}

ByteBuffer HttpClient::request_bytes(std::string_view address,
                                     const ClientRequestOptions& options) {
    if (!request_) return {};
    // This form counts its timeout in whole seconds.
    make_request(address, options, std::trunc(options.timeout_seconds));
    return response_body();
}

}  // namespace trasslo
