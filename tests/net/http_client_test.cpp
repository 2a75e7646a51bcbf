// HttpClient and its request object against the scripted server: the request as composed
// (verb, header values, cookies, proxy), the ways of reading the answer, the timeouts, and
// the thin wrappers of the object's own operations.
#include "net/http_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>

#include "base/event_pump.h"
#include "net/curl_request.h"
#include "support/http_test_server.h"
#include "support/test_hooks.h"

namespace trasslo {
namespace {

using namespace std::chrono_literals;
using support::Connection;
using support::http_reply;
using support::HttpTestServer;
using support::RecordedRequest;
using support::reply_always;
using support::TestHooks;

const char* const kMsie9 = "Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; Trident/5.0)";

using support::text;

class HttpClientTest : public ::testing::Test {
  protected:
    void SetUp() override { client.initialise(); }
    HttpClient client;
};

TEST_F(HttpClientTest, RequestWithEveryArgumentLeftOut) {
    HttpTestServer server(reply_always(http_reply(200, "OK", "<title>t</title>")));
    const std::string url = server.url("/s?q=1");
    EXPECT_EQ(client.request_text(url), "<title>t</title>");
    const RecordedRequest r = server.requests().at(0);
    EXPECT_EQ(r.method, "GET");
    EXPECT_EQ(r.target, "/s?q=1");
    EXPECT_EQ(r.header("Referer"), url);
    EXPECT_EQ(r.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(r.header("User-Agent"), kMsie9);
    EXPECT_EQ(r.header_count("User-Agent"), 1);
    EXPECT_FALSE(r.header("Cookie").has_value());
    EXPECT_TRUE(r.body.empty());
}

TEST_F(HttpClientTest, SchemeLessAddressIsOpenedAsHttpAndRefersToItselfAsGiven) {
    HttpTestServer server(reply_always(http_reply(200, "OK", "page")));
    const std::string address = "  127.0.0.1:" + std::to_string(server.port()) + "/page ";
    EXPECT_EQ(client.request_text(address), "page");
    EXPECT_EQ(server.requests().at(0).target, "/page");
    EXPECT_EQ(server.requests().at(0).header("Referer"),
              "127.0.0.1:" + std::to_string(server.port()) + "/page");
}

TEST_F(HttpClientTest, AnyBodyMakesAPostAndBytesWinOverText) {
    HttpTestServer server(reply_always(http_reply(200, "OK", "")));
    client.request_text(server.url("/f"), {.post_text = "k=v"});
    client.request_bytes(server.url("/f"), {.post_text = "lost", .post_bytes = {'a', 0, 'b'}});
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].body, "k=v");
    EXPECT_EQ(requests[1].method, "POST");
    EXPECT_EQ(requests[1].body, std::string("a\0b", 3));
}

TEST_F(HttpClientTest, HeaderArgumentsAndExtraLines) {
    HttpTestServer server(reply_always(http_reply(200, "OK", "")));
    client.request_text(server.url("/"),
                        {.referer = "http://from.example/",
                         .content_type = "text/plain",
                         .user_agent = "Agent/1",
                         .extra_headers = "X-A: 1\r\nbad line\r\nX-B: a: b\r\nX-Empty: "});
    const RecordedRequest r = server.requests().at(0);
    EXPECT_EQ(r.header("Referer"), "http://from.example/");
    EXPECT_EQ(r.header("Content-Type"), "text/plain");
    EXPECT_EQ(r.header("User-Agent"), "Agent/1");
    EXPECT_EQ(r.header("X-A"), "1");
    EXPECT_EQ(r.header("X-B"), "a");
    EXPECT_FALSE(r.header("X-Empty").has_value());
    EXPECT_FALSE(r.header("bad line").has_value());

    // An extra User-Agent line replaces the default one rather than adding a second.
    client.request_text(server.url("/"), {.extra_headers = "User-Agent: Mine"});
    const RecordedRequest r2 = server.requests().at(1);
    EXPECT_EQ(r2.header_count("User-Agent"), 1);
    EXPECT_EQ(r2.header("User-Agent"), "Mine");
}

TEST_F(HttpClientTest, StoredCookieIsKeptSentAndOverriddenByMinusOne) {
    HttpTestServer server(reply_always(
        http_reply(200, "OK", "", {"Set-Cookie: s=1; path=/", "Set-Cookie: t=2", "X-N: 1"})));
    LocalText none;
    client.request_text(server.url("/"), {.cookie = &none, .keep_cookies = true});
    EXPECT_EQ(client.stored_cookie(), "s=1; path=/; t=2; ");

    // An empty cookie argument takes the stored cookie and gets it written back.
    LocalText cookie;
    client.request_text(server.url("/"), {.cookie = &cookie});
    EXPECT_EQ(cookie, "s=1; path=/; t=2; ");
    EXPECT_EQ(server.requests().at(1).header("Cookie"), "s=1; path=/; t=2;");

    // "-1" sends an empty Cookie header, stored cookie or not.
    LocalText minus_one = "-1";
    client.request_text(server.url("/"), {.cookie = &minus_one});
    const RecordedRequest r = server.requests().at(2);
    EXPECT_EQ(r.header_count("Cookie"), 1);
    EXPECT_EQ(r.header("Cookie"), "");

    // A cookie of the caller's own goes out as it stands; without keep_cookies nothing new
    // is stored.
    LocalText own = "mine=1";
    client.request_text(server.url("/"), {.cookie = &own});
    EXPECT_EQ(server.requests().at(3).header("Cookie"), "mine=1");
    client.clear_cookies();
    EXPECT_EQ(client.stored_cookie(), "");
    client.request_text(server.url("/"));
    EXPECT_FALSE(server.requests().at(4).header("Cookie").has_value());
}

TEST_F(HttpClientTest, ResultEncodings) {
    const std::string utf8_page = "<meta charset=utf-8>\xE4\xB8\xAD";
    HttpTestServer server([&](Connection& c, const RecordedRequest& r) {
        if (r.target == "/zero")
            c.send(http_reply(200, "OK", std::string("ab\0cd", 5)));
        else if (r.target == "/declared")
            c.send(
                http_reply(200, "OK", "\xE4\xB8\xAD", {"Content-Type: text/html; charset=utf-8"}));
        else
            c.send(http_reply(200, "OK", utf8_page));
    });
    EXPECT_EQ(client.request_text(server.url("/zero"), {.result_encoding = -1}), "ab");
    EXPECT_EQ(client.request_text(server.url("/zero"), {.result_encoding = -2}), "ab");
    EXPECT_EQ(client.request_bytes(server.url("/zero")), (ByteBuffer{'a', 'b', 0, 'c', 'd'}));
    // 0 detects the charset; -1 gives the bytes as they came; 2 names UTF-8.
    EXPECT_EQ(client.request_text(server.url("/page")), "<meta charset=utf-8>" + local("中"));
    EXPECT_EQ(client.request_text(server.url("/page"), {.result_encoding = -1}), utf8_page);
    EXPECT_EQ(client.request_text(server.url("/declared"), {.result_encoding = 2}), local("中"));
    // The response text follows the charset the reply declares.
    EXPECT_EQ(client.request_text(server.url("/declared"), {.result_encoding = -2}), local("中"));
}

TEST_F(HttpClientTest, RedirectsFollowUnlessOptionSixIsOff) {
    HttpTestServer server([](Connection& c, const RecordedRequest& r) {
        if (r.target == "/from")
            c.send(http_reply(302, "Found", "moved", {"Location: /to"}));
        else
            c.send(http_reply(200, "OK", "arrived"));
    });
    EXPECT_EQ(client.request_text(server.url("/from")), "arrived");
    EXPECT_EQ(std::get<long>(client.option(kOptionEnableRedirects)), 1);
    client.option(kOptionEnableRedirects, 0L);
    EXPECT_EQ(client.request_text(server.url("/from")), "moved");
    EXPECT_EQ(client.status(), 302);
    EXPECT_EQ(client.get_response_header("location"), "/to");
    EXPECT_EQ(client.probe_location(server.url("/from")), "/to");
    EXPECT_EQ(client.redirect_target(server.url("/from")), "/to");
    EXPECT_EQ(client.redirect_target(server.url("/from"), true, "http://r.example/"), "/to");
    const auto requests = server.requests();
    EXPECT_EQ(requests.back().header("Referer"), "http://r.example/");
    EXPECT_EQ(requests.back().header("User-Agent"),
              "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)");
    EXPECT_EQ(requests[requests.size() - 2].header("Referer"), server.url("/from"));
}

TEST_F(HttpClientTest, ProxyArgument) {
    HttpTestServer proxy(reply_always(http_reply(200, "OK", "via proxy")));
    HttpTestServer site(reply_always(http_reply(200, "OK", "direct")));
    const std::string proxy_address = "127.0.0.1:" + std::to_string(proxy.port());
    const std::string site_url = site.url("/p");

    EXPECT_EQ(client.request_text("http://site.test/p", {.proxy = proxy_address}), "via proxy");
    EXPECT_EQ(proxy.requests().at(0).target, "http://site.test/p");

    // "IE" is this system's proxy setting: the http_proxy variable. Without a proxy argument,
    // or with "-1", the variable is not looked at. A proxy once set stays with the request
    // object, as the component's does, so each case has a fresh client.
    setenv("http_proxy", proxy_address.c_str(), 1);
    auto fresh = [] {
        auto c = std::make_unique<HttpClient>();
        c->initialise();
        return c;
    };
    EXPECT_EQ(fresh()->request_text("http://site.test/ie", {.proxy = "IE"}), "via proxy");
    EXPECT_EQ(fresh()->request_text(site_url), "direct");
    EXPECT_EQ(fresh()->request_text(site_url, {.proxy = "-1"}), "direct");
    unsetenv("http_proxy");
    // "IE" with no variable set goes direct, also on an object that had a proxy before.
    EXPECT_EQ(client.request_text(site_url, {.proxy = "IE"}), "direct");
    EXPECT_EQ(proxy.request_count(), 2u);
    EXPECT_EQ(proxy.requests().at(1).target, "http://site.test/ie");
}

// The server answers after 2 s; which timeouts apply decides whether the answer is read.
TEST_F(HttpClientTest, TimeoutArgument) {
    HttpTestServer server([](Connection& c, const RecordedRequest&) {
        if (c.hold_for(2000ms)) c.send(http_reply(200, "OK", "late"));
    });
    // 1 second for every step and the wait.
    EXPECT_EQ(client.request_text(server.url("/"), {.timeout_seconds = 1}), "");
    // -1 keeps the object's own timeouts, here a short receive limit.
    client.set_timeouts(300, 300, 300, 300);
    EXPECT_EQ(client.request_text(server.url("/"), {.timeout_seconds = -1}), "");
    // 5 seconds are enough; the same object then works as before.
    EXPECT_EQ(client.request_text(server.url("/"), {.timeout_seconds = 5}), "late");
    EXPECT_EQ(client.request_bytes(server.url("/"), {.timeout_seconds = 5.9}),
              ByteBuffer({'l', 'a', 't', 'e'}));
}

TEST_F(HttpClientTest, FailuresGiveEmptyResultsAndTheNextRequestWorks) {
    HttpTestServer sound(reply_always(http_reply(200, "OK", "fine")));
    const std::string refused =
        "http://127.0.0.1:" + std::to_string(support::unused_loopback_port()) + "/";
    EXPECT_EQ(client.request_text(refused), "");
    EXPECT_EQ(client.status(), 0);
    EXPECT_EQ(client.get_all_response_headers(), "");
    // An https address cannot be used here: it becomes "http://https://...".
    EXPECT_EQ(client.request_text("https://127.0.0.1:" + std::to_string(sound.port()) + "/"), "");
    EXPECT_EQ(client.request_text(sound.url("/")), "fine");

    // A client that was never initialised yields nothing and does not crash.
    HttpClient bare;
    EXPECT_EQ(bare.request_text(sound.url("/")), "");
    EXPECT_TRUE(bare.request_bytes(sound.url("/")).empty());
    EXPECT_EQ(bare.status(), 0);
}

TEST_F(HttpClientTest, ObjectOperationsStepByStep) {
    HttpTestServer server([](Connection& c, const RecordedRequest& r) {
        c.send(http_reply(201, "Made Here", "m=" + r.method + " x=" + r.header("X-Q").value_or(""),
                          {"Set-Cookie: a=1; path=/", "Set-Cookie:b=2;", "X-Two: 2"}));
    });
    client.open("PUT", server.url("/o"), true);
    client.set_request_header("X-Q", "first");
    client.set_request_header("x-q", "second");  // same name: replaced
    client.send("body", {});
    EXPECT_TRUE(client.wait_for_response(5));
    EXPECT_EQ(client.status(), 201);
    EXPECT_EQ(client.status_text(), "Made Here");
    EXPECT_EQ(client.response_text(), "m=PUT x=second");
    EXPECT_EQ(text(client.response_body()), "m=PUT x=second");
    EXPECT_EQ(server.requests().at(0).body, "body");
    EXPECT_EQ(server.requests().at(0).header_count("X-Q"), 1);

    const LocalText all = client.get_all_response_headers();
    EXPECT_FALSE(all.starts_with("HTTP/"));
    EXPECT_NE(all.find("X-Two: 2\r\n"), std::string::npos);
    EXPECT_EQ(client.get_response_header("x-two"), "2");
    EXPECT_EQ(client.get_response_header("missing"), "");
    EXPECT_EQ(client.cookie_value("a"), "1");
    EXPECT_EQ(client.cookie_value("b"), "2");
    EXPECT_EQ(client.response_cookie_lines(), "Set-Cookie: a=1; path=/\r\nSet-Cookie:b=2;\r\n");
    EXPECT_EQ(client.response_cookies(), "a=1; path=/; Set-Cookie:b=2;; ");

    // A copy shares the request object; a reset gives this client a fresh one.
    auto other = client.copy();
    EXPECT_EQ(other->request_object(), client.request_object());
    EXPECT_EQ(other->status(), 201);
    client.reset();
    EXPECT_NE(other->request_object(), client.request_object());
    EXPECT_EQ(client.status(), 0);
    EXPECT_EQ(other->status(), 201);
}

// A handler run by the pump while the request waits (a click on "stop") aborts it: the late
// answer is never read.
TEST_F(HttpClientTest, AbortFromAPumpedHandlerEndsTheWait) {
    HttpTestServer server([](Connection& c, const RecordedRequest&) {
        if (c.hold_for(3000ms)) c.send(http_reply(200, "OK", "late"));
    });
    {
        TestHooks hooks([&] { client.abort(); });
        EXPECT_EQ(client.request_text(server.url("/")), "");
        EXPECT_EQ(client.status(), 0);
    }
    // Aborting does not spoil the object for the next request.
    HttpTestServer sound(reply_always(http_reply(200, "OK", "next")));
    EXPECT_EQ(client.request_text(sound.url("/")), "next");
}

}  // namespace
}  // namespace trasslo
