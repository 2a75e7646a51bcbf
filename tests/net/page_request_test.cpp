// page_request against the scripted server (exact request bytes, cookies, redirects) and
// against nginx with a test certificate (the https path).
#include "net/page_request.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "net/curl_request.h"
#include "net/http_client.h"
#include "support/child_process.h"
#include "support/http_test_server.h"
#include "support/nginx_server.h"
#include "support/temp_dir.h"

namespace trasslo {
namespace {

using support::Connection;
using support::http_reply;
using support::HttpTestServer;
using support::RecordedRequest;
using support::reply_always;

const char* const kMsie9 = "Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; Trident/5.0)";

using support::text;

TEST(PageRequestBytes, AddressAloneSendsTheDefaultGetBlock) {
    HttpTestServer server(reply_always(http_reply(200, "OK", "hello")));
    LocalText headers;
    ByteBuffer body = page_request(server.url("/a/b?q=1"), {.headers = &headers});
    EXPECT_EQ(text(body), "hello");
    ASSERT_EQ(server.request_count(), 1u);
    const RecordedRequest r = server.requests()[0];
    EXPECT_EQ(r.head,
              "GET /a/b?q=1 HTTP/1.1\r\n"
              "Host: 127.0.0.1:" +
                  std::to_string(server.port()) +
                  "\r\n"
                  "User-Agent: " +
                  std::string(kMsie9) +
                  "\r\n"
                  "Accept: */*\r\n"
                  "Accept-Language: zh-cn\r\n"
                  "Content-Type: application/x-www-form-urlencoded\r\n\r\n");
    EXPECT_EQ(headers,
              "Accept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: "
              "application/x-www-form-urlencoded");
}

TEST(PageRequestBytes, ExtraHeadersAreSentAndOnlyMissingDefaultsAdded) {
    HttpTestServer server(reply_always(http_reply(200, "OK", "x")));
    LocalText headers = "X-One: 1\r\nAccept-Language: en";
    page_request(server.url("/"), {.headers = &headers});
    EXPECT_EQ(headers,
              "X-One: 1\r\nAccept-Language: en\r\nAccept: */*\r\nContent-Type: "
              "application/x-www-form-urlencoded");
    const RecordedRequest r = server.requests().at(0);
    EXPECT_EQ(r.header("X-One"), "1");
    EXPECT_EQ(r.header("Accept-Language"), "en");
    EXPECT_EQ(r.header_count("Accept-Language"), 1);
    EXPECT_EQ(r.header("Accept"), "*/*");

    LocalText complete = "Accept: text/html\r\nAccept-Language: de\r\nContent-Type: text/plain";
    const LocalText before = complete;
    page_request(server.url("/"), {.headers = &complete});
    EXPECT_EQ(complete, before);
    const RecordedRequest r2 = server.requests().at(1);
    EXPECT_EQ(r2.header("Accept"), "text/html");
    EXPECT_EQ(r2.header("Content-Type"), "text/plain");
}

TEST(PageRequestBytes, AgentNameFollowsTheThreeRules) {
    EXPECT_EQ(page_request_agent_name(""), kMsie9);
    EXPECT_EQ(page_request_agent_name("User-Agent: Foo\r\nX-A: 1"), "Foo");
    EXPECT_EQ(page_request_agent_name("user-agent: Foo"), "Foo");
    EXPECT_EQ(page_request_agent_name("X-A: 1\r\nUser-Agent: Foo"), "1\r\nUser-Agent: Foo");

    // On the wire the caller's line is the one agent header, whatever rule named the agent.
    HttpTestServer server(reply_always(http_reply(200, "OK", "")));
    for (const char* block :
         {"User-Agent: Foo\r\nX-A: 1", "user-agent: Foo", "X-A: 1\r\nUser-Agent: Foo"}) {
        LocalText headers = block;
        page_request(server.url("/"), {.headers = &headers});
    }
    for (const RecordedRequest& r : server.requests()) {
        EXPECT_EQ(r.header_count("User-Agent"), 1) << r.head;
        EXPECT_EQ(r.header("User-Agent"), "Foo") << r.head;
    }
}

TEST(PageRequestBytes, PostSendsTextAndWritesItsBytesBack) {
    HttpTestServer server(reply_always(http_reply(200, "OK", "done")));
    ByteBuffer post;
    ByteBuffer body =
        page_request(server.url("/form"), {.method = 1, .post_text = "k=v", .post_bytes = &post});
    EXPECT_EQ(text(body), "done");
    EXPECT_EQ(text(post), "k=v");
    const RecordedRequest r = server.requests().at(0);
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.body, "k=v");
    EXPECT_EQ(r.header("Content-Length"), "3");

    // Bytes already given win over the text; another method value sends a GET with a body.
    ByteBuffer given = {'a', 0, 'b'};
    page_request(server.url("/form"), {.method = 2, .post_text = "ignored", .post_bytes = &given});
    const RecordedRequest r2 = server.requests().at(1);
    EXPECT_EQ(r2.method, "GET");
    EXPECT_EQ(r2.body, std::string("a\0b", 3));
}

TEST(PageRequestBytes, QueryRightBehindTheHostReachesTheHost) {
    HttpTestServer server(reply_always(http_reply(200, "OK", "q")));
    EXPECT_EQ(text(page_request("http://127.0.0.1:" + std::to_string(server.port()) + "?x=1")),
              "q");
    EXPECT_EQ(server.requests().at(0).target, "/?x=1");
}

TEST(PageRequestCookies, SetCookieLinesBecomeReturnedCookies) {
    HttpTestServer server(reply_always(http_reply(
        200, "OK", "body", {"set-cookie: a=1; path=/", "Set-Cookie: b=2", "X-Other: 3"})));
    LocalText returned_headers, returned_cookies;
    page_request(server.url("/"),
                 {.returned_cookies = &returned_cookies, .returned_headers = &returned_headers});
    EXPECT_EQ(returned_cookies, "a=1; b=2");
    EXPECT_TRUE(returned_headers.starts_with("HTTP/1.1 200 OK\r\n"));
    EXPECT_NE(returned_headers.find("\r\nSet-Cookie: a=1; path=/\r\n"), std::string::npos);
    EXPECT_TRUE(returned_headers.ends_with("\r\n\r\n"));
}

TEST(PageRequestCookies, GivenCookiesAreSentAndMergedWithTheReply) {
    HttpTestServer server(
        reply_always(http_reply(200, "OK", "", {"Set-Cookie: y=2; path=/", "Set-Cookie: x=9"})));
    LocalText cookies = "x=1; z=3";
    page_request(server.url("/"), {.cookies = &cookies});
    EXPECT_EQ(server.requests().at(0).header("Cookie"), "x=1; z=3");
    EXPECT_EQ(cookies, "y=2; x=9; z=3");
}

TEST(PageRequestCookies, HeaderBlockOver5000BytesIsReturnedWhole) {
    const std::string big(6000, 'v');
    HttpTestServer server(reply_always(
        http_reply(200, "OK", "fine", {"X-Big: " + big, "Set-Cookie: late=1; path=/"})));
    LocalText returned_headers, returned_cookies;
    ByteBuffer body = page_request(server.url("/"), {.returned_cookies = &returned_cookies,
                                                     .returned_headers = &returned_headers});
    EXPECT_EQ(text(body), "fine");
    EXPECT_GT(returned_headers.size(), 6000u);
    EXPECT_NE(returned_headers.find(big), std::string::npos);
    EXPECT_EQ(returned_cookies, "late=1");
}

class PageRequestRedirect : public ::testing::Test {
  protected:
    HttpTestServer server{[](Connection& c, const RecordedRequest& r) {
        if (r.target == "/from")
            c.send(http_reply(302, "Found", "moved", {"Location: /to"}));
        else
            c.send(http_reply(200, "OK", "arrived"));
    }};
};

TEST_F(PageRequestRedirect, IsFollowedByDefault) {
    LocalText headers;
    EXPECT_EQ(text(page_request(server.url("/from"), {.returned_headers = &headers})), "arrived");
    EXPECT_TRUE(headers.starts_with("HTTP/1.1 200 OK\r\n")) << headers;
    EXPECT_EQ(server.request_count(), 2u);
}

TEST_F(PageRequestRedirect, NoRedirectReturnsTheRedirectItself) {
    LocalText headers;
    ByteBuffer body =
        page_request(server.url("/from"), {.returned_headers = &headers, .no_redirect = true});
    EXPECT_EQ(text(body), "moved");
    EXPECT_TRUE(headers.starts_with("HTTP/1.1 302 Found\r\n")) << headers;
    EXPECT_EQ(server.request_count(), 1u);
}

// No cookie engine runs behind the caller's back: a cookie set on the way through a redirect
// is not sent with the followed request, on either path.
TEST(PageRequestCookies, CookiesSetOnARedirectAreNotSentOn) {
    HttpTestServer server([](Connection& c, const RecordedRequest& r) {
        if (r.target == "/from")
            c.send(
                http_reply(302, "Found", "", {"Location: /to", "Set-Cookie: session=1; path=/"}));
        else
            c.send(http_reply(200, "OK", "arrived"));
    });
    EXPECT_EQ(text(page_request(server.url("/from"))), "arrived");
    HttpClient client;
    client.initialise();
    EXPECT_EQ(client.request_text(server.url("/from")), "arrived");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 4u);
    for (const RecordedRequest& r : requests)
        EXPECT_FALSE(r.header("Cookie").has_value()) << r.head;
}

TEST(PageRequestFailure, UnreachableHostGivesEmptyResults) {
    LocalText returned_headers = "stale", returned_cookies = "stale";
    const std::string url = "http://127.0.0.1:" + std::to_string(support::unused_loopback_port());
    EXPECT_TRUE(page_request(url + "/x", {.returned_cookies = &returned_cookies,
                                          .returned_headers = &returned_headers})
                    .empty());
    EXPECT_EQ(returned_headers, "");
    EXPECT_EQ(returned_cookies, "");
    // A port that is no port at all never reaches the network.
    EXPECT_TRUE(page_request("http://127.0.0.1:99999/").empty());
    EXPECT_TRUE(page_request("http:///nohost").empty());
}

TEST(PageRequestProxy, GivenProxyCarriesTheRequest) {
    HttpTestServer proxy(reply_always(http_reply(200, "OK", "via proxy")));
    ByteBuffer body = page_request("http://site.test/p?q=1",
                                   {.proxy = "127.0.0.1:" + std::to_string(proxy.port())});
    EXPECT_EQ(text(body), "via proxy");
    EXPECT_EQ(proxy.requests().at(0).target, "http://site.test/p?q=1");
}

TEST(PageRequestProxy, WithoutProxyArgumentEnvironmentProxiesAreIgnored) {
    HttpTestServer proxy(reply_always(http_reply(200, "OK", "via proxy")));
    HttpTestServer site(reply_always(http_reply(200, "OK", "direct")));
    const std::string proxy_url = proxy.url("");
    setenv("http_proxy", proxy_url.c_str(), 1);
    setenv("HTTP_PROXY", proxy_url.c_str(), 1);
    setenv("all_proxy", proxy_url.c_str(), 1);
    ByteBuffer body = page_request(site.url("/"));
    unsetenv("http_proxy");
    unsetenv("HTTP_PROXY");
    unsetenv("all_proxy");
    EXPECT_EQ(text(body), "direct");
    EXPECT_EQ(proxy.request_count(), 0u);
}

// The https path against nginx with a certificate from a test CA.
class PageRequestHttps : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!nginx.start()) GTEST_SKIP() << nginx.error();
        nginx.put_file("index.html", "<html><title>secure</title></html>");
    }
    void TearDown() override {
        unsetenv("SSL_CERT_FILE");
        unsetenv("SSL_CERT_DIR");
    }
    support::NginxServer nginx;
};

TEST_F(PageRequestHttps, TrustedCertificateGivesTheBody) {
    setenv("SSL_CERT_FILE", nginx.ca_file().c_str(), 1);
    LocalText headers;
    ByteBuffer body = page_request(nginx.https_url("/index.html"), {.returned_headers = &headers});
    EXPECT_EQ(text(body), "<html><title>secure</title></html>");
    EXPECT_TRUE(headers.starts_with("HTTP/1.1 200 OK\r\n")) << headers;
    // Upper-case scheme: still the secure path, on the explicit port.
    std::string upper = nginx.https_url("/index.html");
    upper.replace(0, 5, "HTTPS");
    EXPECT_FALSE(page_request(upper).empty());
}

TEST_F(PageRequestHttps, UntrustedCertificateGivesNothingAndTheNextRequestWorks) {
    unsetenv("SSL_CERT_FILE");
    EXPECT_TRUE(page_request(nginx.https_url("/index.html")).empty());
    HttpRequest request;
    request.url = nginx.https_url("/index.html");
    EXPECT_EQ(perform_request(request).error, RequestError::tls);
    setenv("SSL_CERT_FILE", nginx.ca_file().c_str(), 1);
    EXPECT_FALSE(page_request(nginx.https_url("/index.html")).empty());
}

TEST_F(PageRequestHttps, CertificateFolderNamedBySslCertDirIsTrusted) {
    unsetenv("SSL_CERT_FILE");
    support::TempDir roots;
    std::filesystem::copy_file(nginx.ca_file(), roots.path() / "test-ca.pem");
    // A certificate folder is looked up by subject hash, as openssl rehash names the links.
    if (support::run_child("openssl", {"rehash", roots.str()}, roots.path()).status != 0)
        GTEST_SKIP() << "openssl rehash is not available";
    setenv("SSL_CERT_DIR", roots.str().c_str(), 1);
    EXPECT_EQ(text(page_request(nginx.https_url("/index.html"))),
              "<html><title>secure</title></html>");
    // Another folder without the test CA: not trusted.
    support::TempDir empty;
    setenv("SSL_CERT_DIR", empty.str().c_str(), 1);
    EXPECT_TRUE(page_request(nginx.https_url("/index.html")).empty());
}

TEST_F(PageRequestHttps, ProxyVariablesDoNotCarryHttpsRequests) {
    setenv("SSL_CERT_FILE", nginx.ca_file().c_str(), 1);
    HttpTestServer proxy(reply_always(http_reply(200, "OK", "via proxy")));
    setenv("https_proxy", proxy.url("").c_str(), 1);
    setenv("HTTPS_PROXY", proxy.url("").c_str(), 1);
    ByteBuffer body = page_request(nginx.https_url("/index.html"));
    unsetenv("https_proxy");
    unsetenv("HTTPS_PROXY");
    EXPECT_EQ(text(body), "<html><title>secure</title></html>");
    EXPECT_EQ(proxy.request_count(), 0u);
}

}  // namespace
}  // namespace trasslo
