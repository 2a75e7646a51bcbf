#include "net/page_request.h"

#include <string>
#include <vector>

#include "net/curl_request.h"
#include "net/merge_cookies.h"
#include "net/text_between.h"
#include "net/url_parts.h"

namespace trasslo {

LocalText page_request_agent_name(std::string_view headers) {
    if (find_text(headers, "User-Agent:", 1, true) < 0) return kBrowserAgent;
    LocalText agent = trim(text_between(headers, "User-Agent:", "\r\n"));
    if (agent.empty()) agent = value_after_colon(headers);
    return agent;
}

LocalText page_request_header_block(std::string_view headers, std::string_view cookies) {
    LocalText block(headers);
    if (block.empty()) {
        block = "Accept: */*";
    } else if (find_text(block, "Accept:") < 0) {
        block += "\r\nAccept: */*";
    }
    if (find_text(block, "Accept-Language:") < 0) block += "\r\nAccept-Language: zh-cn";
    if (find_text(block, "Content-Type:") < 0)
        block += "\r\nContent-Type: application/x-www-form-urlencoded";
    if (!cookies.empty()) {
        block += "\r\nCookie: ";
        block += cookies;
    }
    return block;
}

LocalText cookies_from_headers(std::string_view raw_headers) {
    LocalText cookies;
    for (const LocalText& line : split_text(raw_headers, "\r\n")) {
        if (find_text(line, "Set-Cookie") < 0) continue;
        LocalText value;
        if (line.find(';') == LocalText::npos) {
            value = trim(replace_text(line, "Set-Cookie:", "", true));
        } else {
            value = trim(text_between(line, "Set-Cookie:", ";"));
        }
        cookies += value;
        cookies += "; ";
    }
    if (cookies.size() >= 2) cookies.resize(cookies.size() - 2);
    return cookies;
}

namespace {

// The header block as lines for the request layer. A line whose value is empty is sent as
// "Name;", the form that sends an empty value instead of dropping the header.
std::vector<std::string> header_lines(std::string_view block) {
    std::vector<std::string> lines;
    for (LocalText& line : split_text(block, "\r\n")) {
        if (line.empty()) continue;
        const size_t colon = line.find(':');
        if (colon != LocalText::npos && trim(std::string_view(line).substr(colon + 1)).empty())
            line = line.substr(0, colon) + ";";
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace

std::optional<HttpRequest> page_request_prepare(std::string_view url,
                                                const PageRequestOptions& options) {
    HttpRequest request;
    request.method = options.method == 1 ? "POST" : "GET";
    const bool secure = ascii_lower(url.substr(0, 5)) == "https";
    const long timeout_ms = options.timeout_seconds ? *options.timeout_seconds * 1000 : 30000;

    LocalText local_headers;
    LocalText& headers = options.headers ? *options.headers : local_headers;
    request.user_agent = page_request_agent_name(headers);

    // Without a proxy argument the request goes direct; with one, every scheme uses it.
    if (options.proxy) request.proxy = *options.proxy;

    // Connection: a host and a usable port are needed, as for opening a connection.
    const LocalText host = url_host(url);
    const int port = url_port(url);
    if (host.empty() || port <= 0) return std::nullopt;
    request.url = std::string(secure ? "https://" : "http://") + host + ":" + std::to_string(port) +
                  url_path(url);

    request.connect_timeout_ms = timeout_ms;
    request.receive_timeout_ms = timeout_ms;
    request.follow_redirects = !options.no_redirect;

    const LocalText cookie_text = options.cookies ? *options.cookies : LocalText();
    headers = page_request_header_block(headers, cookie_text);
    request.headers = header_lines(headers);

    if (options.method != 0) {
        ByteBuffer local_post;
        ByteBuffer& post = options.post_bytes ? *options.post_bytes : local_post;
        if (post.empty()) post = text_to_bytes(options.post_text);
        request.send_body = true;
        request.body = post;
    }
    return request;
}

HttpResponse page_request_complete(HttpResponse response, const PageRequestOptions& options) {
    // The whole header block, whatever its size; "Set-Cookie" spelt one way.
    LocalText raw = replace_text(response.raw_headers, "Set-Cookie", "Set-Cookie", true);
    LocalText received = cookies_from_headers(raw);
    if (options.returned_headers) *options.returned_headers = raw;
    if (options.returned_cookies) *options.returned_cookies = received;
    if (options.cookies) merge_cookies(*options.cookies, received);
    return response;
}

HttpResponse unrequestable_exchange() {
    HttpResponse failed;
    failed.error = RequestError::bad_address;
    return failed;
}

HttpResponse page_request_exchange(std::string_view url, const PageRequestOptions& options) {
    try {
        std::optional<HttpRequest> request = page_request_prepare(url, options);
        if (!request) return unrequestable_exchange();
        return page_request_complete(perform_request(*request), options);
    } catch (...) {
        HttpResponse failed;
        failed.error = RequestError::other;
        return failed;
    }
}

ByteBuffer page_request(std::string_view url, const PageRequestOptions& options) {
    HttpResponse response = page_request_exchange(url, options);
    return response.ok() ? std::move(response.body) : ByteBuffer();
}

}  // namespace trasslo
