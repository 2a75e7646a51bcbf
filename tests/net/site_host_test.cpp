// Cutting hosts and main domains out of addresses.
#include "net/site_host.h"

#include <gtest/gtest.h>

namespace trasslo {
namespace {

TEST(SiteHost, HostIsBetweenDoubleSlashAndNextSlash) {
    EXPECT_EQ(site_host("http://news.example.com/a/b"), "news.example.com");
    EXPECT_EQ(site_host("http://example.com:8080/x"), "example.com:8080");
    EXPECT_EQ(site_host("https://Mixed.Case.ORG?q=1"), "Mixed.Case.ORG?q=1");
    EXPECT_EQ(site_host("//cdn.example.net/lib.js"), "cdn.example.net");
}

TEST(SiteHost, AddressWithoutDoubleSlashStartsAtFirstByte) {
    EXPECT_EQ(site_host("example.com/search?q=1"), "example.com");
    EXPECT_EQ(site_host("plain-text"), "plain-text");
    EXPECT_EQ(site_host(""), "");
    EXPECT_EQ(site_host("http:///path"), "");
}

TEST(SiteHost, MainDomainTakesTwoLabels) {
    EXPECT_EQ(site_host("http://news.example.com/a/b", true), "example.com");
    EXPECT_EQ(site_host("http://a.b.c.Example.COM/", true), "example.com");
    EXPECT_EQ(site_host("http://example.com/", true), "example.com");
    EXPECT_EQ(site_host("http://localhost/", true), "localhost");
}

TEST(SiteHost, MainDomainTakesThreeLabelsBehindCompoundSuffix) {
    EXPECT_EQ(site_host("http://bbs.example.com.cn/", true), "example.com.cn");
    EXPECT_EQ(site_host("http://x.y.site.gov.cn/", true), "site.gov.cn");
    // ".info." is not ".com." : a plain two-label cut.
    EXPECT_EQ(site_host("http://bbs.information.cn/", true), "information.cn");
}

TEST(SiteHost, WwwPlusMainDomainIsKeptAsWritten) {
    EXPECT_EQ(site_host("https://WWW.Example.com/x", true), "WWW.Example.com");
    EXPECT_EQ(site_host("http://www.example.com.cn", true), "www.example.com.cn");
    // Another sub-host is lower-cased to its main domain.
    EXPECT_EQ(site_host("https://Shop.Example.com/x", true), "example.com");
}

TEST(SiteHost, LastLabelNeedsTwoBytesToCount) {
    // The first dot must have at least two bytes behind it, so ".c" is no label of its own.
    EXPECT_EQ(site_host("http://x.y.c/", true), "x.y.c");
    EXPECT_EQ(site_host("http://q.x.yz/", true), "x.yz");
    // A port stays in the host and counts towards the last label.
    EXPECT_EQ(site_host("http://news.example.com:8080/", true), "example.com:8080");
}

TEST(SiteHost, SchemeGoesInFrontOnlyWithColonSlashSlash) {
    EXPECT_EQ(site_host("http://news.example.com/a/b", true, true), "http://example.com");
    EXPECT_EQ(site_host("https://news.example.com/a", false, true), "https://news.example.com");
    EXPECT_EQ(site_host("example.com/search?q=1", false, true), "example.com");
    EXPECT_EQ(site_host("//example.com/x", false, true), "example.com");
}

TEST(SiteHost, LocalTextHostsPassThrough) {
    const LocalText address = local("http://中文.example.com/搜索");
    EXPECT_EQ(site_host(address), local("中文.example.com"));
    EXPECT_EQ(site_host(address, true), "example.com");
}

TEST(SiteHost, SlashInsideDoubleByteCharacterIsNoSeparator) {
    // "\x81/" is one (damaged) double-byte character: its second byte ends nothing.
    EXPECT_EQ(site_host("http://a\x81/b/c"), "a\x81/b");
    EXPECT_EQ(site_host("x\x81//y/z"), "x\x81/");
    EXPECT_EQ(site_host("\x81://h/p", false, true), "h");
}

TEST(HasCompoundSuffix, NeedsDotsAroundTheWord) {
    EXPECT_TRUE(has_compound_suffix("a.b.gov.cn"));
    EXPECT_TRUE(has_compound_suffix("shop.EXAMPLE.NET.cn"));
    EXPECT_TRUE(has_compound_suffix("x.name.y"));
    EXPECT_FALSE(has_compound_suffix("information.cn"));
    EXPECT_FALSE(has_compound_suffix("example.com"));
    EXPECT_FALSE(has_compound_suffix(".com"));
    EXPECT_FALSE(has_compound_suffix(""));
}

}  // namespace
}  // namespace trasslo
