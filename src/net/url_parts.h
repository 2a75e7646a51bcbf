// Splitting an address into the host, port and object path that a request connects to, and
// into all of its pieces for comparing addresses.
#pragma once

#include <string_view>

#include "text/local_text.h"

namespace trasslo {

// Host of the address, lower-cased; with `keep_port` the ":port" stays. A missing scheme is
// taken as http. The host ends at the first '/', '?' or '#'.
//   url_host("HTTP://Example.com:8080/a") == "example.com"
//   url_host("http://example.com?x=1") == "example.com"
LocalText url_host(std::string_view url, bool keep_port = false);

// The explicit port, else 443 for "https" addresses and 80 for all others.
int url_port(std::string_view url);

// The object path: everything from the first '/', '?' or '#' behind the host to the end
// (query and fragment included), with a '/' put in front of a bare query or fragment;
// "/" when the address has nothing behind the host.
//   url_path("http://example.com?x=1") == "/?x=1"
LocalText url_path(std::string_view url);

// The pieces of "scheme://userinfo@host:port/path?query#fragment", as views into the address,
// exactly as written. Without a scheme ("://" behind letters, digits, '+', '-' or '.' only) the
// address is taken as starting with its host. The host ends at the first '/', '?' or '#'; a
// bracketed IPv6 host keeps its colons.
//   split_url("http://u@WWW.a.cn:81?q=1#f") ==
//       {.scheme="http", .userinfo="u", .host="WWW.a.cn", .port="81", .path="", .query="q=1",
//        .fragment="f", .has_query=true, .has_fragment=true}
struct UrlPieces {
    std::string_view scheme;
    std::string_view userinfo;  // without its '@'
    std::string_view host;
    std::string_view port;      // behind the ':', empty when there is none
    std::string_view path;      // from the '/' behind the host; empty when there is none
    std::string_view query;     // behind the first '?', without it
    std::string_view fragment;  // behind the first '#', without it
    bool has_query = false;
    bool has_fragment = false;
};
UrlPieces split_url(std::string_view url);

}  // namespace trasslo
