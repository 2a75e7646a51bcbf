// The outcome of a trace visit: for each kind of site, the error class, the status, the number
// of attempts and what the page said, on both request paths; fetch_title's tests cover the
// requests themselves, which the visit shares.
#include "run/page_visit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "net/curl_request.h"
#include "support/fault_server.h"
#include "support/http_test_server.h"
#include "support/nginx_server.h"

namespace trasslo {
namespace {

using support::Connection;
using support::Fault;
using support::http_reply;
using support::RecordedRequest;

// One site per kind of ending, each on its own path of one scripted server.
void answer(Connection& c, const RecordedRequest& request) {
    const std::string path = request.target.substr(0, request.target.find('?'));
    const std::string page =
        "<html><head><title>结果</title></head><body>搜索 关键词</body></html>";
    if (path == "/gbk") {
        c.send(http_reply(200, "OK", local(page), {"Content-Type: text/html"}));
    } else if (path == "/utf8") {
        c.send(http_reply(200, "OK", "<meta charset=utf-8>" + page,
                          {"X-Robots-Tag: googlebot: noindex"}));
    } else if (path == "/moved") {
        c.send(http_reply(301, "Moved", "", {"Location: /utf8?from=moved"}));
    } else if (path == "/missing") {
        c.send(http_reply(404, "Not Found", "<title>404 Not Found</title>"));
    } else if (path == "/broken") {
        c.send(http_reply(500, "Internal Server Error", "oops"));
    } else if (path == "/loop") {
        c.send(http_reply(302, "Found", "", {"Location: /loop"}));
    } else if (path == "/huge") {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 40000000\r\n\r\nabc");
        c.hold();
    } else if (path == "/stall") {
        c.hold();
    } else if (path == "/closed") {
        c.close();
    } else if (path == "/reset") {
        c.reset();
    } else if (path == "/short") {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n<title>cut");
        c.close();
    } else if (path == "/garbage") {
        c.send("HTTP/1.1 ???\r\n\x01\x02\r\n\r\n");
        c.close();
    } else if (path == "/busy") {
        c.send(http_reply(429, "Too Many Requests", "", {"Retry-After: 7"}));
    }
}

// The address a row's template becomes with the keyword filled in (GBK).
std::string fill_address(const std::string& address_template) {
    std::string out = address_template;
    const std::size_t at = out.find("{*}");
    if (at != std::string::npos) out.replace(at, 3, "%B9%D8%BC%FC%B4%CA");
    return out;
}

struct OutcomeRow {
    const char* name;
    std::function<std::string(const support::HttpTestServer&)> address;
    VisitError error;
    long status;
    int attempts;
    const char* charset;
    bool echoed;
    bool noindex;
};

void PrintTo(const OutcomeRow& row, std::ostream* out) {
    *out << row.name;
}

class VisitOutcomes : public ::testing::TestWithParam<OutcomeRow> {
  protected:
    void SetUp() override { set_request_deadline_cap(500); }
    void TearDown() override { set_request_deadline_cap(0); }
    support::HttpTestServer server{answer};
};

TEST_P(VisitOutcomes, ClassStatusAttemptsAndPage) {
    const OutcomeRow& row = GetParam();
    const std::string address = row.address(server);
    const VisitOutcome outcome = visit_page(address, local("关键词"), 0);
    EXPECT_EQ(outcome.address, fill_address(address));
    EXPECT_EQ(visit_error_name(outcome.error), visit_error_name(row.error));
    EXPECT_EQ(outcome.status, row.status);
    EXPECT_EQ(outcome.attempts, row.attempts);
    EXPECT_EQ(outcome.charset, row.charset);
    EXPECT_EQ(outcome.echoed, row.echoed);
    EXPECT_EQ(outcome.noindex, row.noindex);
    EXPECT_FALSE(outcome.abandoned);
    EXPECT_EQ(outcome.left_trace(), row.error == VisitError::none);
    // Two pauses of 500 ms lie between three attempts.
    EXPECT_GE(outcome.elapsed_ms, (row.attempts - 1) * 500);
}

std::function<std::string(const support::HttpTestServer&)> path(const char* p) {
    return [p](const support::HttpTestServer& s) { return s.url(p) + "?q={*}"; };
}

INSTANTIATE_TEST_SUITE_P(
    Rows, VisitOutcomes,
    ::testing::Values(
        OutcomeRow{"GbkPage", path("/gbk"), VisitError::none, 200, 1, "gbk", true, false},
        OutcomeRow{"Utf8PageNoindexHeader", path("/utf8"), VisitError::none, 200, 1, "utf-8", true,
                   true},
        OutcomeRow{"NotFoundWithTitle", path("/missing"), VisitError::http, 404, 1, "gbk", false,
                   false},
        OutcomeRow{"ServerErrorWithoutTitle", path("/broken"), VisitError::http, 500, 3, "gbk",
                   false, false},
        OutcomeRow{"RedirectLoop", path("/loop"), VisitError::redirect_loop, 302, 3, "", false,
                   false},
        OutcomeRow{"OverTheSizeCap", path("/huge"), VisitError::too_large, 200, 3, "", false,
                   false},
        // A site that did not answer in time gets no second attempt.
        OutcomeRow{"Stalled", path("/stall"), VisitError::timeout, 0, 1, "", false, false},
        // Taken, then closed, reset, cut short or answered with garbage: not "no connection".
        OutcomeRow{"ClosedUnanswered", path("/closed"), VisitError::bad_response, 0, 3, "", false,
                   false},
        OutcomeRow{"ResetUnanswered", path("/reset"), VisitError::bad_response, 0, 3, "", false,
                   false},
        OutcomeRow{"CutShort", path("/short"), VisitError::bad_response, 200, 3, "", false, false},
        OutcomeRow{"Garbage", path("/garbage"), VisitError::bad_response, 0, 3, "", false, false},
        // Asked to come back later: the run decides when, not an attempt 500 ms on.
        OutcomeRow{"RateLimited", path("/busy"), VisitError::http, 429, 1, "", false, false},
        OutcomeRow{"Refused",
                   [](const support::HttpTestServer&) {
                       return "http://127.0.0.1:" +
                              std::to_string(support::unused_loopback_port()) + "/?q={*}";
                   },
                   VisitError::connect, 0, 3, "", false, false},
        OutcomeRow{"UnknownHost",
                   [](const support::HttpTestServer&) {
                       return std::string("http://no-such-host.invalid/?q={*}");
                   },
                   VisitError::dns, 0, 3, "", false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(VisitOutcome, RedirectsEndAtTheFinalAddressWithItsBody) {
    support::HttpTestServer server(answer);
    const VisitOutcome outcome = visit_page(server.url("/moved?q={*}"), "k", 0);
    EXPECT_EQ(outcome.status, 200);
    EXPECT_EQ(outcome.final_address, server.url("/utf8?from=moved"));
    EXPECT_EQ(outcome.bytes, std::string("<meta charset=utf-8><html><head><title>结果</title>"
                                         "</head><body>搜索 关键词</body></html>")
                                 .size());
    EXPECT_EQ(outcome.title, local("结果"));
    EXPECT_FALSE(outcome.echoed);  // "k" is nowhere in the text
}

TEST(VisitOutcome, HttpsPathAndAnUntrustedCertificate) {
    support::FaultServer faults;
    if (!faults.start_untrusted_tls()) GTEST_SKIP() << faults.error();
    support::NginxServer nginx;
    nginx.put_file("s.html", "<title>Secure</title><p>Trasslo</p>");
    if (!nginx.start()) GTEST_SKIP() << nginx.error();
    setenv("SSL_CERT_FILE", nginx.ca_file().c_str(), 1);
    const VisitOutcome sound = visit_page(nginx.https_url("/s.html?q={*}"), "TRASSLO", 1);
    const VisitOutcome untrusted = visit_page(faults.untrusted_url("/?q={*}"), "TRASSLO", 1);
    unsetenv("SSL_CERT_FILE");

    EXPECT_EQ(sound.error, VisitError::none);
    EXPECT_EQ(sound.status, 200);
    EXPECT_EQ(sound.final_address, nginx.https_url("/s.html?q=TRASSLO"));
    EXPECT_EQ(sound.title, "Secure");
    EXPECT_TRUE(sound.echoed);
    EXPECT_TRUE(sound.left_trace());
    EXPECT_EQ(untrusted.error, VisitError::tls);
    EXPECT_EQ(untrusted.status, 0);
    EXPECT_EQ(untrusted.attempts, 3);
    EXPECT_FALSE(untrusted.left_trace());
}

}  // namespace
}  // namespace trasslo
