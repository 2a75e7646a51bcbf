// fetch_title: the address built from template and keyword, the request path chosen by the
// scheme, the title read and decoded, the three attempts; http against the scripted server,
// https against nginx with a test certificate.
#include "net/fetch_title.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "base/event_pump.h"
#include "support/http_test_server.h"
#include "support/nginx_server.h"
#include "support/test_hooks.h"

namespace trasslo {
namespace {

using support::Connection;
using support::http_reply;
using support::HttpTestServer;
using support::RecordedRequest;
using support::reply_always;
using support::TestHooks;

TEST(FetchTitle, UpperCaseTagsAndEntitiesWithOneRequest) {
    HttpTestServer server(reply_always(
        http_reply(200, "OK", "<HTML><HEAD><TITLE>Tom &amp; Jerry &#x4E2D;</TITLE></HEAD>")));
    EXPECT_EQ(fetch_title(server.url("/"), "", 0), "Tom & Jerry " + local("中"));
    EXPECT_EQ(server.request_count(), 1u);
}

TEST(FetchTitle, TitleTagWithAttributesIsNoTitleAfterThreeRequests) {
    HttpTestServer server(
        reply_always(http_reply(200, "OK", "<html><title id=x>named</title></html>")));
    int pumps = 0;
    TestHooks hooks([&] { ++pumps; });
    EXPECT_EQ(fetch_title(server.url("/"), "", 0), "");
    EXPECT_EQ(server.request_count(), 3u);
    // The two waits between the attempts let the window handle its events.
    EXPECT_GE(pumps, 2);
}

TEST(FetchTitle, TheTitleIsTakenAsItStandsAndDecodedFromThePageCharset) {
    HttpTestServer server([](Connection& c, const RecordedRequest& r) {
        if (r.target == "/utf8")
            c.send(http_reply(200, "OK",
                              "<head><meta charset='utf-8'><title> \xE4\xB8\xAD\xE6\x96\x87 "
                              "</title></head>"));
        else
            c.send(http_reply(200, "OK", "<title>" + local("关键词") + "</title>"));
    });
    EXPECT_EQ(fetch_title(server.url("/utf8"), "", 0), local(" 中文 "));
    EXPECT_EQ(fetch_title(server.url("/gbk"), "", 1), local("关键词"));
}

TEST(FetchTitle, KeywordIsEncodedIntoEveryPlaceholderInTheEngineEncoding) {
    HttpTestServer server(reply_always(http_reply(200, "OK", "<title>r</title>")));
    const std::string base = server.url("/s?q={*}&again={*}&kept={X}");
    const LocalText keyword = local("中 a");
    EXPECT_EQ(fetch_title(base, keyword, 0), "r");
    EXPECT_EQ(fetch_title(base, keyword, 1), "r");
    EXPECT_EQ(fetch_title(base, keyword, 7), "r");  // any other code is GBK
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].target, "/s?q=%D6%D0%20a&again=%D6%D0%20a&kept={X}");
    EXPECT_EQ(requests[1].target, "/s?q=%E4%B8%AD%20a&again=%E4%B8%AD%20a&kept={X}");
    EXPECT_EQ(requests[2].target, requests[0].target);
}

TEST(FetchTitle, PlainAndSchemeLessTemplatesGoThroughTheClient) {
    HttpTestServer server(reply_always(http_reply(200, "OK", "<title>c</title>")));
    const std::string port = std::to_string(server.port());
    EXPECT_EQ(fetch_title("HTTP://127.0.0.1:" + port + "/a", "", 0), "c");
    EXPECT_EQ(fetch_title("127.0.0.1:" + port + "/b", "", 0), "c");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    // The client's request: a Referer of the address as given, no Accept-Language.
    EXPECT_EQ(requests[0].header("Referer"), "HTTP://127.0.0.1:" + port + "/a");
    EXPECT_EQ(requests[1].header("Referer"), "127.0.0.1:" + port + "/b");
    EXPECT_FALSE(requests[0].header("Accept-Language").has_value());
}

TEST(FetchTitle, UnreachableSiteGivesTheEmptyText) {
    const std::string url =
        "http://127.0.0.1:" + std::to_string(support::unused_loopback_port()) + "/";
    EXPECT_EQ(fetch_title(url, "k", 0), "");
}

class FetchTitleHttps : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!nginx.start()) GTEST_SKIP() << nginx.error();
        nginx.put_file("index.html", "<html><head><title>Secure &lt;Page&gt;</title></head>");
        setenv("SSL_CERT_FILE", nginx.ca_file().c_str(), 1);
    }
    void TearDown() override { unsetenv("SSL_CERT_FILE"); }
    support::NginxServer nginx;
};

TEST_F(FetchTitleHttps, HttpsTemplatesGoThroughPageRequestAndStayLive) {
    int pumps = 0;
    TestHooks hooks([&] { ++pumps; });
    const LocalText title = fetch_title(nginx.https_url("/index.html?q={*}"), local("词"), 1);
    EXPECT_EQ(title, "Secure <Page>");
    // The handshake and the reply take several polls; the window is served meanwhile.
    EXPECT_GE(pumps, 1);
    // The same page over plain http, through the client.
    EXPECT_EQ(fetch_title(nginx.url("/index.html"), "", 0), "Secure <Page>");
}

TEST_F(FetchTitleHttps, UntrustedCertificateGivesNoTitle) {
    unsetenv("SSL_CERT_FILE");
    EXPECT_EQ(fetch_title(nginx.https_url("/index.html"), "", 0), "");
}

}  // namespace
}  // namespace trasslo
