#include "net/web_request.h"

#include <algorithm>
#include <cstdlib>

#include "net/curl_request.h"
#include "text/charset.h"
#include "text/code_page.h"

namespace trasslo {
namespace {

constexpr const char* kDefaultAgent = "Mozilla/4.0 (compatible; Win32; WinHttp.WinHttpRequest.5)";

bool same_name(std::string_view a, std::string_view b) {
    return ascii_lower(a) == ascii_lower(b);
}

long option_number(const OptionValue& value, long fallback) {
    if (const long* n = std::get_if<long>(&value)) return *n;
    if (const LocalText* t = std::get_if<LocalText>(&value))
        return t->empty() ? fallback : std::atol(t->c_str());
    return fallback;
}

// The charset parameter of a Content-Type value, lower-cased; empty when there is none.
LocalText declared_charset(std::string_view content_type) {
    const LocalText lowered = ascii_lower(content_type);
    const size_t at = lowered.find("charset=");
    if (at == LocalText::npos) return {};
    LocalText value = lowered.substr(at + 8);
    value = value.substr(0, value.find_first_of("; "));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\''))
        value = value.substr(1, value.size() - 2);
    return value;
}

}  // namespace

void WebRequest::open(std::string_view method, std::string_view url, bool async) {
    method_ = method.empty() ? "GET" : std::string(method);
    url_ = std::string(url);
    async_ = async;
    pending_ = false;
    headers_.clear();
    body_.clear();
    has_body_ = false;
    cancel_ = false;
    status_ = 0;
    status_text_.clear();
    raw_headers_.clear();
    response_.clear();
    exchange_ = HttpResponse();
    options_[kOptionUrl] = LocalText(url);
}

void WebRequest::set_request_header(std::string_view name, std::string_view value) {
    if (name.empty() || name.find_first_of(":\r\n") != std::string_view::npos ||
        value.find_first_of("\r\n") != std::string_view::npos)
        return;  // a header that would break the request block is refused
    for (auto& header : headers_) {
        if (same_name(header.first, name)) {
            header.second = std::string(value);
            return;
        }
    }
    headers_.emplace_back(std::string(name), std::string(value));
}

void WebRequest::send(const ByteBuffer& body, bool has_body) {
    if (url_.empty()) return;  // not opened
    body_ = body;
    has_body_ = has_body;
    pending_ = true;
    if (!async_) run(0);
}

bool WebRequest::wait_for_response(long seconds) {
    if (pending_) run(seconds >= 1 ? seconds * 1000 : 0);
    return status_ != 0;
}

void WebRequest::abort() {
    cancel_ = true;
    pending_ = false;
}

HttpRequest WebRequest::built_request(long deadline_ms) {
    HttpRequest request;
    request.method = method_;
    request.url = url_;
    request.send_body = has_body_;
    request.body = body_;
    bool has_accept = false;
    for (const auto& [name, value] : headers_) {
        request.headers.push_back(value.empty() ? name + ";" : name + ": " + value);
        if (same_name(name, "Accept")) has_accept = true;
    }
    if (!has_accept) request.headers.push_back("Accept: */*");
    const OptionValue& agent = options_.count(kOptionUserAgent)
                                   ? options_[kOptionUserAgent]
                                   : OptionValue(LocalText(kDefaultAgent));
    if (const LocalText* text = std::get_if<LocalText>(&agent)) request.user_agent = *text;
    // Name resolution and connection share the connect limit; 0 leaves it to the deadline.
    request.connect_timeout_ms =
        (resolve_ms_ > 0 && connect_ms_ > 0) ? resolve_ms_ + connect_ms_ : connect_ms_;
    request.receive_timeout_ms = receive_ms_ > 0 ? std::max(receive_ms_, send_ms_) : 0;
    request.deadline_ms = deadline_ms;
    request.follow_redirects = option_number(option(kOptionEnableRedirects), 1) != 0;
    if (proxy_setting_ == 2 && !proxy_server_.empty()) {
        request.proxy = proxy_server_;
        std::string bypass = proxy_bypass_;
        for (char& c : bypass)
            if (c == ';') c = ',';
        request.no_proxy = bypass;
    }
    request.user = user_;
    request.password = password_;
    request.proxy_user = proxy_user_;
    request.proxy_password = proxy_password_;
    request.cancel = &cancel_;

    return request;
}

std::optional<HttpRequest> WebRequest::take_pending(long deadline_ms) {
    if (!pending_) return std::nullopt;
    pending_ = false;
    return built_request(deadline_ms);
}

void WebRequest::run(long deadline_ms) {
    pending_ = false;
    take_response(perform_request(built_request(deadline_ms)));
}

void WebRequest::take_response(HttpResponse response) {
    exchange_.error = response.error;
    exchange_.status = response.status;
    exchange_.status_text = response.status_text;
    exchange_.raw_headers = response.raw_headers;
    exchange_.final_url = response.final_url;
    exchange_.received_bytes = response.received_bytes;
    exchange_.proxy_fault = response.proxy_fault;
    status_ = response.status;
    status_text_ = std::move(response.status_text);
    raw_headers_ = std::move(response.raw_headers);
    response_ = std::move(response.body);
    if (!response.ok() && response.error != RequestError::too_large) {
        // No complete response: nothing to read, as when the request never got an answer.
        status_ = 0;
        status_text_.clear();
        raw_headers_.clear();
    }
}

long WebRequest::status() {
    if (pending_) run(0);
    return status_;
}

LocalText WebRequest::status_text() {
    if (pending_) run(0);
    return status_text_;
}

ByteBuffer WebRequest::response_body() {
    if (pending_) run(0);
    return response_;
}

LocalText WebRequest::response_text() {
    if (pending_) run(0);
    const std::string_view bytes = bytes_view(response_);
    const LocalText charset = declared_charset(get_response_header("Content-Type"));
    if (charset == "gbk" || charset == "gb2312" || charset == "gb18030" || charset == "cp936")
        return LocalText(until_zero(bytes));
    if (charset == "utf-8" || charset == "utf8") {
        LocalText text = iconv_convert(bytes, "UTF-8", "GB18030");
        if (!text.empty() || bytes.empty()) return LocalText(until_zero(text));
    }
    return LocalText(until_zero(decode_bytes_to_local_text(bytes, 0)));
}

LocalText WebRequest::get_response_header(std::string_view name) {
    if (pending_) run(0);
    for (const LocalText& line : split_text(raw_headers_, "\r\n")) {
        const size_t colon = line.find(':');
        if (colon == LocalText::npos || line.starts_with("HTTP/")) continue;
        if (same_name(trim(std::string_view(line).substr(0, colon)), name))
            return trim(std::string_view(line).substr(colon + 1));
    }
    return {};
}

LocalText WebRequest::get_all_response_headers() {
    if (pending_) run(0);
    const size_t end_of_status = raw_headers_.find("\r\n");
    if (end_of_status == std::string::npos) return {};
    return raw_headers_.substr(end_of_status + 2);
}

void WebRequest::set_timeouts(long resolve_ms, long connect_ms, long send_ms, long receive_ms) {
    resolve_ms_ = std::max(0L, resolve_ms);
    connect_ms_ = std::max(0L, connect_ms);
    send_ms_ = std::max(0L, send_ms);
    receive_ms_ = std::max(0L, receive_ms);
}

void WebRequest::set_proxy(long setting, std::string_view server, std::string_view bypass) {
    proxy_setting_ = setting;
    proxy_server_ = std::string(server);
    proxy_bypass_ = std::string(bypass);
}

void WebRequest::set_credentials(std::string_view user, std::string_view password, long flags) {
    if (flags == 1) {
        proxy_user_ = std::string(user);
        proxy_password_ = std::string(password);
    } else {
        user_ = std::string(user);
        password_ = std::string(password);
    }
}

void WebRequest::set_client_certificate(std::string_view certificate) {
    client_certificate_ = std::string(certificate);
}

void WebRequest::set_auto_logon_policy(long policy) {
    auto_logon_policy_ = policy;
}

OptionValue WebRequest::option(long index, const OptionValue& value) {
    if (!std::holds_alternative<std::monostate>(value) && index != kOptionUrl)
        options_[index] = value;
    auto it = options_.find(index);
    if (it != options_.end()) return it->second;
    if (index == kOptionEnableRedirects) return 1L;
    if (index == kOptionUserAgent) return LocalText(kDefaultAgent);
    return {};
}

}  // namespace trasslo
