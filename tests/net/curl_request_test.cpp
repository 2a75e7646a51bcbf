// The request layer under faults: every fault of the fault server's catalogue ends with its
// reason, within the deadline cap, empty, and the next request works. Also what reaches the
// wire, the status of odd replies, the event pump and cancelling.
#include "net/curl_request.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "base/event_pump.h"
#include "net/http_client.h"
#include "net/page_request.h"
#include "support/fault_server.h"
#include "support/http_test_server.h"
#include "support/test_hooks.h"

namespace trasslo {
namespace {

using namespace std::chrono_literals;
using support::Connection;
using support::Fault;
using support::FaultServer;
using support::http_reply;
using support::HttpTestServer;
using support::RecordedRequest;
using support::reply_always;
using support::TestHooks;

using support::text;

// What the request layer makes of each fault of the fault server's catalogue: the reason it
// reports and whether the clock may end the exchange (false: a size limit must, so the test puts
// the clock out of the way).
struct FaultOutcome {
    RequestError error;
    bool clock_may_end_it = true;
};

FaultOutcome outcome_of(Fault fault) {
    switch (fault) {
        case Fault::sound:
        case Fault::short_length:  // the announced length is the page; the rest is not read
            return {RequestError::none};
        case Fault::stall_before_headers:
        case Fault::drip:  // never stalls for long: only the overall deadline ends it
            return {RequestError::timeout};
        case Fault::endless_body:
            return {RequestError::too_large, false};
        case Fault::oversize_length:  // refused at the announcement, not after a wait
            return {RequestError::too_large};
        case Fault::endless_headers:
            return {RequestError::transfer, false};
        case Fault::huge_header_line:  // libcurl reports a line over its limit as out of memory
            return {RequestError::other};
        case Fault::close_at_once:
        case Fault::reset_at_once:
        case Fault::reset_mid_body:
        case Fault::huge_headers:
        case Fault::long_length:
            return {RequestError::transfer};
        case Fault::redirect_loop:
            return {RequestError::redirect_loop};
    }
    return {RequestError::other};
}

// Every fault runs under a short overall deadline against one fault server, and a sound page of
// the same server is answered afterwards.
class RequestUnderFaults : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { faults = new FaultServer(); }
    static void TearDownTestSuite() {
        delete faults;
        faults = nullptr;
    }
    void SetUp() override { set_request_deadline_cap(1500); }
    void TearDown() override {
        HttpResponse after = get(faults->url(Fault::sound));
        EXPECT_TRUE(after.ok());
        EXPECT_NE(text(after.body).find(support::fault_page_title_html(Fault::sound)),
                  std::string::npos);
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
    static FaultServer* faults;
};
FaultServer* RequestUnderFaults::faults = nullptr;

class RequestFaults : public RequestUnderFaults, public ::testing::WithParamInterface<Fault> {};

TEST_P(RequestFaults, EndWithTheirReasonWithinTheCapAndKeepNothingOfABrokenReply) {
    const Fault fault = GetParam();
    const FaultOutcome expected = outcome_of(fault);
    if (!expected.clock_may_end_it) set_request_deadline_cap(0);
    HttpRequest request;
    request.url = faults->url(fault);
    // Longer than the lowered cap: the cap, not the request's own deadline, ends the clock.
    request.deadline_ms = 60000;
    const auto start = std::chrono::steady_clock::now();
    const HttpResponse r = perform_request(request);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);

    EXPECT_EQ(r.error, expected.error);
    if (expected.error == RequestError::none) {
        EXPECT_NE(text(r.body).find(support::fault_page_title_html(fault)), std::string::npos);
        EXPECT_EQ(text(r.body).find("beyond the length"), std::string::npos);
    } else {
        EXPECT_TRUE(r.body.empty());
    }
    EXPECT_LE(r.raw_headers.size(), kMaxBodyBytes);
    const bool sends_no_byte = fault == Fault::close_at_once || fault == Fault::reset_at_once ||
                               fault == Fault::stall_before_headers;
    if (sends_no_byte) {
        EXPECT_EQ(r.status, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, RequestFaults, ::testing::ValuesIn(support::all_faults()),
                         support::fault_test_name);

TEST_F(RequestUnderFaults, RefusedConnection) {
    const std::string url = faults->refused_url();
    EXPECT_EQ(get(url).error, RequestError::connect);
    expect_empty_on_both_paths(url);
}

TEST_F(RequestUnderFaults, UnknownHost) {
    HttpResponse r = get("http://no-such-host.invalid/");
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.error == RequestError::resolve || r.error == RequestError::timeout);
    expect_empty_on_both_paths("http://no-such-host.invalid/");
}

TEST(RequestLayer, HugeHeaderBlockStillGivesTheBody) {
    std::vector<std::string> lines;
    for (int i = 0; i < 200; ++i)
        lines.push_back("X-Line-" + std::to_string(i) + ": " + std::string(200, 'h'));
    HttpTestServer server(reply_always(http_reply(200, "OK", "body", lines)));
    HttpRequest request;
    request.url = server.url("/");
    HttpResponse r = perform_request(request);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(text(r.body), "body");
    EXPECT_GT(r.raw_headers.size(), 40000u);
}

// The library passes a leniently read status line with a long run of digits through; the status
// was read from all of them, so it came out far beyond any status code, and a run of twenty
// digits overflowed. It is read from the first three digits now.
TEST(RequestLayer, LongDigitRunInTheStatusLineGivesAThreeDigitStatus) {
    set_request_deadline_cap(3000);
    for (const std::string digits : {"32222222222222", "3222222222222222222222222222"}) {
        // No length: the body ends where the server closes.
        const std::string reply = "HTTP/.1 " + digits + " x\r\nX: y\r\n\r\nbody";
        HttpTestServer server([&](Connection& c, const RecordedRequest&) {
            c.send(reply);
            c.close();
        });
        HttpRequest request;
        request.url = server.url("/");
        const HttpResponse response = perform_request(request);
        ASSERT_TRUE(response.ok()) << digits;
        EXPECT_EQ(response.status, 322) << digits;
        EXPECT_EQ(text(response.body), "body");

        HttpClient client;
        client.initialise();
        client.open("GET", server.url("/"));
        client.send("", {});
        EXPECT_EQ(client.status(), 322) << digits;
    }
    set_request_deadline_cap(0);
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
