// Cutting hosts and main domains out of addresses.
#include "net/site_host.h"

#include <gtest/gtest.h>

namespace trasslo {
namespace {

struct Case {
    const char* address;
    bool main_domain;
    bool with_scheme;
    const char* expected;
};

TEST(SiteHost, Cases) {
    const Case cases[] = {
        // The host lies between "//" and the next "/", with its case and port.
        {"http://news.example.com/a/b", false, false, "news.example.com"},
        {"http://example.com:8080/x", false, false, "example.com:8080"},
        {"https://Mixed.Case.ORG?q=1", false, false, "Mixed.Case.ORG?q=1"},
        {"example.com/search?q=1", false, false, "example.com"},
        {"http:///path", false, false, ""},
        // Main domains: two labels, three behind a compound suffix.
        {"http://news.example.com/a/b", true, false, "example.com"},
        {"http://a.b.c.Example.COM/", true, false, "example.com"},
        {"http://localhost/", true, false, "localhost"},
        {"http://bbs.example.com.cn/", true, false, "example.com.cn"},
        {"http://bbs.information.cn/", true, false, "information.cn"},
        // "www." + main domain is kept as written.
        {"https://WWW.Example.com/x", true, false, "WWW.Example.com"},
        {"http://www.example.com.cn", true, false, "www.example.com.cn"},
        // The last label needs two bytes; a port counts towards it.
        {"http://x.y.c/", true, false, "x.y.c"},
        {"http://q.x.yz/", true, false, "x.yz"},
        {"http://news.example.com:8080/", true, false, "example.com:8080"},
        // The scheme goes in front only where there is a "://".
        {"http://news.example.com/a/b", true, true, "http://example.com"},
        {"example.com/search?q=1", false, true, "example.com"},
        {"//example.com/x", false, true, "example.com"},
        // "\x81/" is one (damaged) double-byte character: its second byte ends nothing.
        {"http://a\x81/b/c", false, false, "a\x81/b"},
        {"x\x81//y/z", false, false, "x\x81/"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(site_host(c.address, c.main_domain, c.with_scheme), c.expected)
            << c.address << " main=" << c.main_domain << " scheme=" << c.with_scheme;
    }
    EXPECT_EQ(site_host(local("http://中文.example.com/搜索")), local("中文.example.com"));
}

TEST(HasCompoundSuffix, NeedsDotsAroundTheWord) {
    EXPECT_TRUE(has_compound_suffix("a.b.gov.cn"));
    EXPECT_TRUE(has_compound_suffix("shop.EXAMPLE.NET.cn"));
    EXPECT_FALSE(has_compound_suffix("information.cn"));
    EXPECT_FALSE(has_compound_suffix("example.com"));
    EXPECT_FALSE(has_compound_suffix(""));
}

}  // namespace
}  // namespace trasslo
