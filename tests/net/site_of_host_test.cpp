#include "net/site_of_host.h"

#include <gtest/gtest.h>

#include "text/local_text.h"

namespace trasslo {
namespace {

TEST(SiteOfHostTest, RegistrableDomainByThePublicSuffixListAndAddressesAsTheirOwnSite) {
    const struct {
        const char* host;
        const char* site;
    } rows[] = {
        {"s1.example.com.cn", "example.com.cn"},
        {"WWW.Example.com.cn", "example.com.cn"},
        {"news.sina.com.cn", "sina.com.cn"},
        {"www.example.co.uk.", "example.co.uk"},
        {"alice.github.io", "alice.github.io"},  // a private suffix counts as one
        {"github.io", "github.io"},              // a bare suffix is its own site
        {"a.b.localhost", "b.localhost"},
        {"localhost", "localhost"},
        {"127.0.0.2", "127.0.0.2"},
        {"[::1]", "::1"},
        {"WWW.例子.中国", "例子.中国"},
        {"", ""},
    };
    for (const auto& row : rows) EXPECT_EQ(site_of_host(row.host), row.site) << row.host;
}

TEST(SiteOfHostTest, SiteOfAnAddressTemplateDropsSchemeCredentialsPortAndPath) {
    const struct {
        std::string address;  // local text
        const char* site;
    } rows[] = {
        {"http://user:pw@www.example.com:8080/s?q={*}", "example.com"},
        {"https://[::1]:8443/x", "::1"},
        {"www.baidu.com/s?wd={*}", "baidu.com"},
        {"http://127.0.0.9:81?q={*}", "127.0.0.9"},
        {local("http://搜索.例子.中国/s?q={*}"), "例子.中国"},
        {"http:///nohost", ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(site_of_address(row.address), row.site) << to_utf8(row.address);
}

}  // namespace
}  // namespace trasslo
