// The request layer under faults: every broken exchange ends empty, within its deadline, with
// the reason reported, and the next request works. Also the event pump and cancelling.
#include "net/curl_request.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "base/event_pump.h"
#include "net/http_client.h"
#include "net/page_request.h"
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

using support::text;

// Every fault test runs with a short overall deadline and checks afterwards that a sound
// server is still answered.
class RequestFaults : public ::testing::Test {
  protected:
    void SetUp() override { set_request_deadline_cap(1500); }
    void TearDown() override {
        HttpRequest good;
        good.url = sound.url("/ok");
        HttpResponse after = perform_request(good);
        EXPECT_TRUE(after.ok());
        EXPECT_EQ(text(after.body), "still fine");
        set_request_deadline_cap(0);
    }
    static HttpResponse get(const std::string& url) {
        HttpRequest request;
        request.url = url;
        return perform_request(request);
    }
    // Both request paths give nothing for `url`.
    static void expect_empty_on_both_paths(const std::string& url) {
        EXPECT_TRUE(page_request(url).empty());
        HttpClient client;
        client.initialise();
        EXPECT_TRUE(client.request_bytes(url).empty());
    }
    HttpTestServer sound{reply_always(http_reply(200, "OK", "still fine"))};
};

TEST_F(RequestFaults, RefusedConnection) {
    const std::string url =
        "http://127.0.0.1:" + std::to_string(support::unused_loopback_port()) + "/";
    EXPECT_EQ(get(url).error, RequestError::connect);
    expect_empty_on_both_paths(url);
}

TEST_F(RequestFaults, ResetInTheMiddleOfTheBody) {
    HttpTestServer server([](Connection& c, const RecordedRequest&) {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(100, 'x'));
        c.reset();
    });
    HttpResponse r = get(server.url("/"));
    EXPECT_EQ(r.error, RequestError::transfer);
    EXPECT_TRUE(r.body.empty());
    expect_empty_on_both_paths(server.url("/"));
}

TEST_F(RequestFaults, ShorterBodyThanAnnouncedThenClose) {
    HttpTestServer server([](Connection& c, const RecordedRequest&) {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\nonly this");
        c.close();
    });
    EXPECT_EQ(get(server.url("/")).error, RequestError::transfer);
    expect_empty_on_both_paths(server.url("/"));
}

TEST_F(RequestFaults, ServerThatSendsNothing) {
    HttpTestServer server([](Connection& c, const RecordedRequest&) { c.hold(); });
    HttpResponse r = get(server.url("/"));
    EXPECT_EQ(r.error, RequestError::timeout);
    EXPECT_EQ(r.status, 0);
    expect_empty_on_both_paths(server.url("/"));
}

TEST_F(RequestFaults, ServerThatClosesWithoutAReply) {
    HttpTestServer server([](Connection& c, const RecordedRequest&) { c.close(); });
    EXPECT_EQ(get(server.url("/")).error, RequestError::transfer);
    expect_empty_on_both_paths(server.url("/"));
}

TEST_F(RequestFaults, DrippingServerIsCutByTheDeadline) {
    // One byte every 100 ms never trips a stall limit; only the overall deadline ends it.
    HttpTestServer server([](Connection& c, const RecordedRequest&) {
        c.drip("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + std::string(5000, 'd'), 100ms);
    });
    HttpRequest request;
    request.url = server.url("/");
    request.receive_timeout_ms = 1000;
    HttpResponse r = perform_request(request);
    EXPECT_EQ(r.error, RequestError::timeout);
    EXPECT_TRUE(r.body.empty());
    expect_empty_on_both_paths(server.url("/"));
}

TEST_F(RequestFaults, EndlessBodyIsCutByTheSizeCap) {
    set_request_deadline_cap(0);  // the cap, not the clock, must end this one
    HttpTestServer server([](Connection& c, const RecordedRequest&) {
        c.send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
        c.send_forever(std::string(64 * 1024, 'e'));
    });
    HttpResponse r = get(server.url("/"));
    EXPECT_EQ(r.error, RequestError::too_large);
    EXPECT_TRUE(r.body.empty());
    EXPECT_TRUE(page_request(server.url("/")).empty());
}

TEST_F(RequestFaults, AnnouncedBodyOverTheCapIsRefusedAtOnce) {
    HttpTestServer server([](Connection& c, const RecordedRequest&) {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 40000000\r\n\r\nabc");
        c.hold();
    });
    EXPECT_EQ(get(server.url("/")).error, RequestError::too_large);
}

TEST_F(RequestFaults, RedirectLoop) {
    HttpTestServer server(reply_always(http_reply(302, "Found", "", {"Location: /again"})));
    EXPECT_EQ(get(server.url("/again")).error, RequestError::redirect_loop);
    expect_empty_on_both_paths(server.url("/again"));
}

TEST_F(RequestFaults, UnknownHost) {
    HttpResponse r = get("http://no-such-host.invalid/");
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.error == RequestError::resolve || r.error == RequestError::timeout);
    expect_empty_on_both_paths("http://no-such-host.invalid/");
}

TEST_F(RequestFaults, HugeHeaderBlockStillGivesTheBody) {
    std::vector<std::string> lines;
    for (int i = 0; i < 200; ++i)
        lines.push_back("X-Line-" + std::to_string(i) + ": " + std::string(200, 'h'));
    HttpTestServer server(reply_always(http_reply(200, "OK", "body", lines)));
    HttpResponse r = get(server.url("/"));
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(text(r.body), "body");
    EXPECT_GT(r.raw_headers.size(), 40000u);
}

TEST_F(RequestFaults, EndlessHeaderBlockIsCut) {
    set_request_deadline_cap(0);  // a size limit, not the clock, must end this one
    HttpTestServer server([](Connection& c, const RecordedRequest&) {
        c.send("HTTP/1.1 200 OK\r\n");
        std::string lines;
        for (int i = 0; i < 1000; ++i) lines += "X-Filler: " + std::string(100, 'f') + "\r\n";
        c.send_forever(lines);
    });
    HttpResponse r = get(server.url("/"));
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.body.empty());
    EXPECT_LE(r.raw_headers.size(), kMaxBodyBytes);
    expect_empty_on_both_paths(server.url("/"));
}

TEST(RequestLayer, DeadlineCapStaysWithinTwoMinutes) {
    set_request_deadline_cap(500000);
    EXPECT_EQ(request_deadline_cap(), 120000);
    set_request_deadline_cap(800);
    EXPECT_EQ(request_deadline_cap(), 800);
    set_request_deadline_cap(0);
    EXPECT_EQ(request_deadline_cap(), 120000);
}

TEST(RequestLayer, StatusLineAndHeadersOfTheFinalResponse) {
    HttpTestServer server([](Connection& c, const RecordedRequest& r) {
        if (r.target == "/first")
            c.send(
                "HTTP/1.1 301 Moved Permanently\r\nLocation: /second\r\nContent-Length: 0\r\n\r\n");
        else
            c.send(http_reply(404, "Not Here", "missing", {"X-Final: yes"}));
    });
    HttpRequest request;
    request.url = server.url("/first");
    HttpResponse r = perform_request(request);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.status, 404);
    EXPECT_EQ(r.status_text, "Not Here");
    EXPECT_EQ(r.raw_headers, "HTTP/1.1 404 Not Here\r\nX-Final: yes\r\nContent-Length: 7\r\n\r\n");
    EXPECT_EQ(text(r.body), "missing");
}

TEST(RequestLayer, HeaderLinesWithLineBreaksAreNotSent) {
    HttpTestServer server(reply_always(http_reply(200, "OK", "")));
    HttpRequest request;
    request.url = server.url("/");
    request.headers = {"X-Good: 1", "X-Bad: 1\r\nInjected: yes"};
    request.user_agent = "agent\r\nInjected: yes";
    perform_request(request);
    const RecordedRequest got = server.requests().at(0);
    EXPECT_EQ(got.header("X-Good"), "1");
    EXPECT_FALSE(got.header("Injected").has_value());
    EXPECT_FALSE(got.header("X-Bad").has_value());
}

TEST(RequestLayer, UnsafeAddressBytesArePercentEncoded) {
    HttpTestServer server(reply_always(http_reply(200, "OK", "")));
    HttpRequest request;
    request.url = server.url("/s?q=a b\xD6\xD0");
    EXPECT_TRUE(perform_request(request).ok());
    EXPECT_EQ(server.requests().at(0).target, "/s?q=a%20b%D6%D0");
}

// The pump runs while the transfer waits: the server answers only after the pump has run,
// so the request can complete only if events were processed during it.
TEST(RequestLayerPump, EventsArePumpedWhileWaiting) {
    std::mutex m;
    std::condition_variable cv;
    bool pumped = false;
    HttpTestServer server([&](Connection& c, const RecordedRequest&) {
        std::unique_lock lock(m);
        if (cv.wait_for(lock, 5s, [&] { return pumped; }))
            c.send(http_reply(200, "OK", "after pump"));
        else
            c.close();
    });
    TestHooks hooks([&] {
        std::lock_guard lock(m);
        pumped = true;
        cv.notify_all();
    });
    ByteBuffer via_page = page_request(server.url("/"));
    HttpClient client;
    client.initialise();
    ByteBuffer via_client = client.request_bytes(server.url("/"));
    EXPECT_EQ(text(via_page), "after pump");
    EXPECT_EQ(text(via_client), "after pump");
}

// Not one pump per transfer but a steady stream while it waits: the server answers only
// after the pump has run many times during the same request.
TEST(RequestLayerPump, PumpKeepsRunningThroughALongWait) {
    std::mutex m;
    std::condition_variable cv;
    int pumps = 0;
    HttpTestServer server([&](Connection& c, const RecordedRequest&) {
        std::unique_lock lock(m);
        const int start = pumps;
        if (cv.wait_for(lock, 10s, [&] { return pumps - start >= 20; }))
            c.send(http_reply(200, "OK", "kept live"));
        else
            c.close();
    });
    TestHooks hooks([&] {
        std::lock_guard lock(m);
        ++pumps;
        cv.notify_all();
    });
    ByteBuffer via_page = page_request(server.url("/"));
    HttpClient client;
    client.initialise();
    LocalText via_client = client.request_text(server.url("/"));
    EXPECT_EQ(text(via_page), "kept live");
    EXPECT_EQ(via_client, "kept live");
}

TEST(RequestLayerPump, HandlerCanCancelTheRunningTransfer) {
    HttpTestServer server([](Connection& c, const RecordedRequest&) { c.hold(); });
    std::atomic<bool> cancel{false};
    TestHooks hooks([&] { cancel = true; });
    HttpRequest request;
    request.url = server.url("/");
    request.cancel = &cancel;
    HttpResponse r = perform_request(request);
    EXPECT_EQ(r.error, RequestError::aborted);
}

TEST(RequestLayerPump, NothingIsPumpedOnOtherThreads) {
    HttpTestServer server(reply_always(http_reply(200, "OK", "x")));
    std::atomic<int> pumps{0};
    TestHooks hooks([&] { ++pumps; });
    ByteBuffer body;
    std::thread worker([&] { body = page_request(server.url("/")); });
    worker.join();
    EXPECT_EQ(text(body), "x");
    EXPECT_EQ(pumps.load(), 0);
}

}  // namespace
}  // namespace trasslo
