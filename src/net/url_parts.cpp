#include "net/url_parts.h"

#include <algorithm>

#include "net/text_between.h"

namespace trasslo {
namespace {

// Where the host starts: behind "https://" at the front, else behind the first "http://"
// (0-based; npos-free). A scheme-less address starts with its host.
size_t host_start(std::string_view lowered) {
    if (lowered.starts_with("https://")) return 8;
    const size_t http = lowered.find("http://");
    return http == std::string_view::npos ? 0 : http + 7;
}

bool is_secure(std::string_view url) {
    return ascii_lower(url.substr(0, 5)) == "https";
}

}  // namespace

LocalText url_host(std::string_view url, bool keep_port) {
    const LocalText lowered = ascii_lower(url);
    std::string_view rest = std::string_view(lowered).substr(host_start(lowered));
    // The host ends at the path, and also at a query or fragment right behind it.
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (!keep_port) rest = rest.substr(0, rest.find(':'));
    return LocalText(rest);
}

int url_port(std::string_view url) {
    const LocalText host = url_host(url, true);
    const size_t colon = host.rfind(':');
    if (colon == LocalText::npos) return is_secure(url) ? 443 : 80;
    // The integer value of the digits after the last ':' (none gives 0, an invalid port).
    long value = 0;
    for (size_t i = colon + 1; i < host.size() && host[i] >= '0' && host[i] <= '9'; ++i) {
        value = value * 10 + (host[i] - '0');
        if (value > 65535) return 0;
    }
    return static_cast<int>(value);
}

LocalText url_path(std::string_view url) {
    const LocalText lowered = ascii_lower(url);
    const LocalText host = url_host(url);
    const size_t start = host_start(lowered);
    const size_t at = lowered.find(host, start);
    if (at == LocalText::npos) return "/";
    const size_t end = url.find_first_of("/?#", at + host.size());
    if (end == std::string_view::npos) return "/";
    if (url[end] == '/') return LocalText(url.substr(end));
    return "/" + LocalText(url.substr(end));
}

UrlPieces split_url(std::string_view url) {
    UrlPieces pieces;
    std::string_view rest = url;
    if (const size_t colon = url.find("://"); colon != std::string_view::npos && colon > 0) {
        const std::string_view scheme = url.substr(0, colon);
        const bool letters = std::all_of(scheme.begin(), scheme.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   c == '+' || c == '-' || c == '.';
        });
        if (letters) {
            pieces.scheme = scheme;
            rest = url.substr(colon + 3);
        }
    }
    // The fragment first: a '?' behind the '#' belongs to it.
    if (const size_t hash = rest.find('#'); hash != std::string_view::npos) {
        pieces.has_fragment = true;
        pieces.fragment = rest.substr(hash + 1);
        rest = rest.substr(0, hash);
    }
    if (const size_t question = rest.find('?'); question != std::string_view::npos) {
        pieces.has_query = true;
        pieces.query = rest.substr(question + 1);
        rest = rest.substr(0, question);
    }
    const size_t slash = rest.find('/');
    std::string_view authority = rest.substr(0, slash);
    if (slash != std::string_view::npos) pieces.path = rest.substr(slash);
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
        pieces.userinfo = authority.substr(0, at);
        authority = authority.substr(at + 1);
    }
    const size_t colon = authority.rfind(':');
    if (colon != std::string_view::npos && authority.find(']', colon) == std::string_view::npos) {
        pieces.port = authority.substr(colon + 1);
        authority = authority.substr(0, colon);
    }
    pieces.host = authority;
    return pieces;
}

}  // namespace trasslo
