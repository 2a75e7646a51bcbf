// Visits of broken sites: each fault of the fault server on both request paths, then whole trace
// runs over a mix of faulty and sound engines. Every exchange must end within the request
// layer's overall deadline, give no title from a broken reply, and leave the sound engines'
// titles right. The deadline is lowered through the request layer's own cap so the suite stays
// short; the bounds below are derived from that cap, not from fixed numbers.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "base/event_pump.h"
#include "net/curl_request.h"
#include "net/fetch_title.h"
#include "net/http_client.h"
#include "net/page_request.h"
#include "run/fake_views.h"
#include "run/trace_run.h"
#include "support/fault_server.h"
#include "support/nginx_server.h"
#include "support/test_hooks.h"
#include "text/charset.h"

namespace trasslo {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using support::Fault;
using support::FaultServer;
using support::TestHooks;

constexpr long kCapMs = 1000;
// Scheduling on a busy machine: what an exchange may take beyond the deadline itself.
constexpr auto kSlack = 1500ms;
// fetch_title's pause between its three attempts.
constexpr auto kRetryPause = 500ms;

// The largest duration one exchange may have: the cap the request layer applies, plus slack.
std::chrono::milliseconds exchange_bound() {
    return std::chrono::milliseconds(request_deadline_cap()) + kSlack;
}

// A whole visit: three exchanges and the two pauses between them.
std::chrono::milliseconds visit_bound() {
    return 3 * std::chrono::milliseconds(request_deadline_cap()) + 2 * kRetryPause + kSlack;
}

std::chrono::milliseconds since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

using support::text;

// Whether a sound request path reads the page out of a fault's reply; every other fault must give
// nothing. A length shorter than what was sent cuts the body at the announced length, and the
// bytes behind it are not taken. A header block of 1 MiB is refused by the HTTP library (its
// limit on response headers is 300 KiB), in many lines as in one.
bool fault_gives_page(Fault fault) {
    return fault == Fault::sound || fault == Fault::short_length;
}

class DeadlineCap : public ::testing::Test {
  protected:
    void SetUp() override { set_request_deadline_cap(kCapMs); }
    void TearDown() override { set_request_deadline_cap(0); }
};

// --- each fault on both request paths ----------------------------------------------------------

class FaultOnBothPaths : public DeadlineCap, public ::testing::WithParamInterface<Fault> {
  protected:
    static FaultServer* faults;
    static void SetUpTestSuite() { faults = new FaultServer(); }
    static void TearDownTestSuite() {
        delete faults;
        faults = nullptr;
    }
};
FaultServer* FaultOnBothPaths::faults = nullptr;

TEST_P(FaultOnBothPaths, EndsWithinTheDeadlineAndGivesOnlyAWholePage) {
    const Fault fault = GetParam();
    const std::string url = faults->url(fault) + "?q=1";

    auto start = Clock::now();
    const std::string secure_path = text(page_request(url));
    const auto secure_took = since(start);

    HttpClient client;
    client.initialise();
    start = Clock::now();
    const std::string plain_path = client.request_text(url);
    const auto plain_took = since(start);

    EXPECT_LE(secure_took, exchange_bound()) << "page_request";
    EXPECT_LE(plain_took, exchange_bound()) << "request_text";
    for (const std::string& body : {secure_path, plain_path}) {
        if (fault_gives_page(fault)) {
            EXPECT_NE(body.find("<title>" + support::fault_page_title_html(fault) + "</title>"),
                      std::string::npos);
            EXPECT_EQ(body.find("beyond the length"), std::string::npos);
        } else {
            EXPECT_EQ(body, "") << "a broken reply must not pass for a page";
        }
    }
    EXPECT_EQ(faults->requests_for(fault), fault == Fault::redirect_loop ? 42u : 2u);
}

INSTANTIATE_TEST_SUITE_P(EveryFault, FaultOnBothPaths, ::testing::ValuesIn(support::all_faults()),
                         support::fault_test_name);

TEST_F(DeadlineCap, RefusedConnectionAndUntrustedCertificateGiveNoTitleAtOnce) {
    FaultServer faults;
    if (!faults.start_untrusted_tls()) GTEST_SKIP() << faults.error();
    // Even with some other CA trusted, the fault server's certificate is not.
    support::NginxServer trusted;
    if (!trusted.start()) GTEST_SKIP() << trusted.error();
    setenv("SSL_CERT_FILE", trusted.ca_file().c_str(), 1);
    for (const std::string& address :
         {faults.refused_url("/?q={*}"), faults.untrusted_url("/index.html?q={*}")}) {
        const auto start = Clock::now();
        EXPECT_EQ(fetch_title(address, "k", 0), "") << address;
        // Neither can be retried into success, and neither waits for the deadline.
        EXPECT_LE(since(start), 2 * kRetryPause + kSlack) << address;
    }
    unsetenv("SSL_CERT_FILE");
}

// --- trace runs over a mix of faulty and sound engines -----------------------------------------

// The run view that notes when each status line was shown: with no interval, the time between
// two status lines is the time one visit took.
class TimedRunView : public support::FakeRunView {
  public:
    void set_status_text(const LocalText& status) override {
        FakeRunView::set_status_text(status);
        times.push_back(Clock::now());
    }
    std::vector<Clock::time_point> times;
};

struct PlannedEngine {
    TraceEngine engine;
    LocalText title;  // the title a visit must show
    // The reasons its status line may end with (UTF-8); none: the visit leaves a trace.
    std::vector<std::string> reasons;
};

// Why a visit of each fault leaves no trace: the connection taken, then broken or answered with
// something that is not a whole HTTP reply, reads as a bad response. A body without end is
// cut by the size cap, or by the deadline on a machine too slow to reach the cap within it.
std::vector<std::string> fault_reasons(Fault fault) {
    switch (fault) {
        case Fault::sound:
        case Fault::short_length:
            return {};
        case Fault::stall_before_headers:
        case Fault::drip:
            return {"（超时）"};
        case Fault::endless_body:
            return {"（页面过大）", "（超时）"};
        case Fault::oversize_length:
            return {"（页面过大）"};
        case Fault::redirect_loop:
            return {"（重定向过多）"};
        case Fault::huge_header_line:
            return {"（无法连接）"};  // curl gives up on the line before any reply is read
        default:
            return {"（网站回应有误）"};
    }
}

class FaultyTraceRun : public DeadlineCap {
  protected:
    void SetUp() override {
        DeadlineCap::SetUp();
        if (!faults.start_untrusted_tls()) GTEST_SKIP() << faults.error();
        trusted.put_file("index.html",
                         "<html><head><title>trusted &lt;page&gt;</title></head></html>");
        if (!trusted.start()) GTEST_SKIP() << trusted.error();
        setenv("SSL_CERT_FILE", trusted.ca_file().c_str(), 1);
    }
    void TearDown() override {
        unsetenv("SSL_CERT_FILE");
        DeadlineCap::TearDown();
    }

    // Sound engines at both ends and in the middle, every fault between them, one unticked.
    std::vector<PlannedEngine> plan() const {
        std::vector<PlannedEngine> out;
        auto add = [&](bool enabled, int encoding, const std::string& name,
                       const std::string& address, const LocalText& title,
                       std::vector<std::string> reasons) {
            out.push_back(
                {TraceEngine{enabled, encoding, local(name), address}, title, std::move(reasons)});
        };
        const LocalText sound_title = local(support::fault_page_title(Fault::sound));
        add(true, 0, "好站甲", faults.url(Fault::sound) + "?q={*}", sound_title, {});
        for (Fault fault : support::all_path_faults()) {
            const LocalText title =
                fault_gives_page(fault) ? local(support::fault_page_title(fault)) : LocalText();
            add(true, 0, support::fault_name(fault), faults.url(fault) + "?q={*}", title,
                fault_reasons(fault));
        }
        add(true, 1, "https good", trusted.https_url("/index.html?q={*}"), "trusted <page>", {});
        add(true, 0, "refused", faults.refused_url("/?q={*}"), "", {"（无法连接）"});
        add(false, 0, "unticked", faults.url(Fault::drip) + "?q={*}", "", {});
        add(true, 1, "https untrusted", faults.untrusted_url("/index.html?q={*}"), "",
            {"（证书错误）"});
        add(true, 1, "好站乙", faults.url(Fault::sound) + "?again={*}", sound_title, {});
        return out;
    }

    FaultServer faults;
    support::NginxServer trusted;
};

TEST_F(FaultyTraceRun, CountsOnlyTracesShowsEveryFailuresReasonAndEndsEveryVisitInTime) {
    const std::vector<PlannedEngine> planned = plan();
    TimedRunView view;
    for (const PlannedEngine& p : planned) view.engines.push_back(p.engine);
    const std::vector<LocalText> keywords = {"seo", local("关键词")};
    view.keywords = keywords[0] + "\r\n" + keywords[1];

    const auto start = Clock::now();
    const RunReport report = on_start_button_clicked(view);
    const auto took = since(start);

    std::vector<std::size_t> ticked;
    std::size_t traces_per_keyword = 0;
    for (std::size_t k = 0; k < planned.size(); ++k) {
        if (!planned[k].engine.enabled) continue;
        ticked.push_back(k);
        if (planned[k].reasons.empty()) ++traces_per_keyword;
    }
    const std::size_t visits = keywords.size() * ticked.size();
    const std::size_t traces = keywords.size() * traces_per_keyword;

    EXPECT_TRUE(report.started);
    EXPECT_FALSE(report.stopped);
    EXPECT_EQ(report.visits, visits);
    EXPECT_EQ(report.total, traces);
    ASSERT_EQ(view.statuses.size(), visits + 1);  // "留痕初始化中.." and one line per visit
    ASSERT_EQ(view.times.size(), visits + 1);
    for (std::size_t v = 0; v < visits; ++v) {
        const std::size_t j = v / ticked.size();
        const PlannedEngine& p = planned[ticked[v % ticked.size()]];
        const LocalText expected = visit_status_text(
            static_cast<int>(keywords.size()), static_cast<int>(j + 1), p.engine.name, p.title);
        const LocalText& shown = view.statuses[v + 1];
        bool as_expected = p.reasons.empty() && shown == expected;
        for (const std::string& reason : p.reasons)
            as_expected = as_expected || shown == expected + local(reason);
        EXPECT_TRUE(as_expected) << to_utf8(p.engine.name) << " keyword " << j << ": "
                                 << to_utf8(shown);
        const auto visit_took = std::chrono::duration_cast<std::chrono::milliseconds>(
            view.times[v + 1] - view.times[v]);
        EXPECT_LE(visit_took, visit_bound()) << to_utf8(p.engine.name) << " keyword " << j;
    }
    // The final message counts the traces alone.
    ASSERT_FALSE(view.messages.empty());
    EXPECT_NE(view.messages.back().text.find(local(" 在目标网站上留下了 ") +
                                             std::to_string(traces) + local(" 个痕迹！")),
              LocalText::npos);
    // Sound pages answered at the first attempt: one request per sound engine and keyword;
    // a fault without a title is asked three times per keyword, never more, and one that timed
    // out once.
    EXPECT_EQ(faults.requests_for(Fault::sound), 2 * keywords.size());
    EXPECT_EQ(faults.requests_for(Fault::close_at_once), 3 * keywords.size());
    EXPECT_EQ(faults.requests_for(Fault::drip), 1 * keywords.size());  // not the unticked one
    EXPECT_LE(took, static_cast<long>(visits) * visit_bound());
}

TEST_F(FaultyTraceRun, StopClickDuringAStalledVisitGivesItUpAtOnceUncounted) {
    TimedRunView view;
    view.engines = {
        TraceEngine{true, 0, "stall", faults.url(Fault::stall_before_headers) + "?q={*}"},
        TraceEngine{true, 0, "sound", faults.url(Fault::sound) + "?q={*}"}};
    view.keywords = "a\r\nb";
    // The stop click arrives while the first visit waits on the stalled server: the pump runs
    // it on this thread, as the window's event loop would.
    Clock::time_point clicked_at{};
    TestHooks hooks([&] {
        if (clicked_at == Clock::time_point{} &&
            faults.requests_for(Fault::stall_before_headers) > 0) {
            clicked_at = Clock::now();
            on_start_button_clicked(view);
        }
    });
    const RunReport report = on_start_button_clicked(view);
    ASSERT_NE(clicked_at, Clock::time_point{});
    // Given up at the request's next poll, long before the exchange's own deadline.
    EXPECT_LT(since(clicked_at), std::chrono::milliseconds(request_deadline_cap()) / 2);
    EXPECT_TRUE(report.stopped);
    EXPECT_EQ(report.total, 0u);
    EXPECT_EQ(faults.requests_for(Fault::stall_before_headers), 1u) << "no second attempt";
    EXPECT_EQ(faults.requests_for(Fault::sound), 0u);
    EXPECT_EQ(view.times.size(), 1u) << "only the start's status line: the visit is not shown";
}

}  // namespace
}  // namespace trasslo
