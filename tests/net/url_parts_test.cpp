#include "net/url_parts.h"

#include <gtest/gtest.h>

namespace trasslo {
namespace {

TEST(UrlParts, HostPortAndPathOfCommonAddresses) {
    struct Case {
        const char* url;
        const char* host;
        const char* host_with_port;
        int port;
        const char* path;
    };
    const Case cases[] = {
        {"http://example.com:8080/a?b=1#c", "example.com", "example.com:8080", 8080, "/a?b=1#c"},
        {"HTTPS://EXAMPLE.COM/x", "example.com", "example.com", 443, "/x"},
        {"example.com/x", "example.com", "example.com", 80, "/x"},
        {"http://example.com", "example.com", "example.com", 80, "/"},
        {"https://Example.com:444", "example.com", "example.com:444", 444, "/"},
        // The host also ends at a query or fragment right behind it.
        {"http://example.com?x=1", "example.com", "example.com", 80, "/?x=1"},
        {"http://example.com#top", "example.com", "example.com", 80, "/#top"},
        {"http://example.com:81?x=/y", "example.com", "example.com:81", 81, "/?x=/y"},
        // The path keeps its letter case; the host is found in the address whatever its case.
        {"http://WWW.Site.CN/Search?Q=A", "www.site.cn", "www.site.cn", 80, "/Search?Q=A"},
        // A scheme-less address holding "http://" later takes the host behind that.
        {"go?to=http://b.example/p", "b.example", "b.example", 80, "/p"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(url_host(c.url), c.host);
        EXPECT_EQ(url_host(c.url, true), c.host_with_port);
        EXPECT_EQ(url_port(c.url), c.port);
        EXPECT_EQ(url_path(c.url), c.path);
    }
}

TEST(UrlParts, PortsThatAreNoPortGiveZero) {
    EXPECT_EQ(url_port("http://example.com:/"), 0);
    EXPECT_EQ(url_port("http://example.com:x/"), 0);
    EXPECT_EQ(url_port("http://example.com:99999/"), 0);
    EXPECT_EQ(url_port("http://a:1:2/"), 2);  // the text after the last ':'
}

TEST(UrlParts, SplitGivesEveryPieceAsWritten) {
    struct Case {
        const char* url;
        const char* scheme;
        const char* userinfo;
        const char* host;
        const char* port;
        const char* path;
        const char* query;     // nullptr: no '?'
        const char* fragment;  // nullptr: no '#'
    };
    const Case cases[] = {
        {"HTTP://u:p@WWW.A.cn:81/S/x?q=1&b=/#f?g", "HTTP", "u:p", "WWW.A.cn", "81", "/S/x",
         "q=1&b=/", "f?g"},
        {"https://a.cn?q={*}", "https", "", "a.cn", "", "", "q={*}", nullptr},
        {"http://a.cn#", "http", "", "a.cn", "", "", nullptr, ""},
        {"http://[::1]:8080/x", "http", "", "[::1]", "8080", "/x", nullptr, nullptr},
        {"http:///x", "http", "", "", "", "/x", nullptr, nullptr},
        // Without a scheme the address starts with its host; "1 2://" is no scheme.
        {"a.cn/s?q=1", "", "", "a.cn", "", "/s", "q=1", nullptr},
        {"1 2://x", "", "", "1 2", "", "//x", nullptr, nullptr},
        {"", "", "", "", "", "", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        const UrlPieces p = split_url(c.url);
        EXPECT_EQ(p.scheme, c.scheme);
        EXPECT_EQ(p.userinfo, c.userinfo);
        EXPECT_EQ(p.host, c.host);
        EXPECT_EQ(p.port, c.port);
        EXPECT_EQ(p.path, c.path);
        EXPECT_EQ(p.has_query, c.query != nullptr);
        EXPECT_EQ(p.query, c.query ? c.query : "");
        EXPECT_EQ(p.has_fragment, c.fragment != nullptr);
        EXPECT_EQ(p.fragment, c.fragment ? c.fragment : "");
    }
}

TEST(UrlParts, EmptyAndOddAddresses) {
    EXPECT_EQ(url_host(""), "");
    EXPECT_EQ(url_path(""), "/");
    EXPECT_EQ(url_host("http:///nohost"), "");
    EXPECT_EQ(url_port(""), 80);
}

}  // namespace
}  // namespace trasslo
