// The trace run against a loopback HTTP server: which addresses are visited in which order, what
// the view is told, how the interval, the stop click and the no-engine question steer the loops.
#include "run/trace_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>

#include "base/event_pump.h"
#include "net/curl_request.h"
#include "run/fake_views.h"
#include "support/http_test_server.h"
#include "support/test_hooks.h"

namespace trasslo {
namespace {

using support::Connection;
using support::engine;
using support::FakeRunView;
using support::HttpTestServer;
using support::RecordedRequest;

using support::TestHooks;

LocalText final_message_of(const FakeRunView& view) {
    return view.messages.empty() ? LocalText() : view.messages.back().text;
}

class TraceRunTest : public ::testing::Test {
  protected:
    // Every page is titled after the request target.
    HttpTestServer server{[](Connection& c, const RecordedRequest& request) {
        c.send(support::http_reply(
            200, "OK",
            "<html><head><title>page " + request.target + "</title></head><body>ok</body></html>",
            {"Content-Type: text/html; charset=utf-8"}));
    }};
    FakeRunView view;

    // Three ticked engines with an unticked one between the first and the second.
    void three_ticked_engines() {
        view.engines = {
            engine(true, 0, "甲", server.url("/e1?q={*}")),
            engine(false, 0, "关", server.url("/off?q={*}")),
            engine(true, 1, "乙", server.url("/e2?q={*}")),
            engine(true, 0, "丙", server.url("/e3?q={*}&again={*}")),
        };
    }
    // The request targets in the order they arrived.
    std::vector<std::string> targets() const {
        std::vector<std::string> out;
        for (const RecordedRequest& r : server.requests()) out.push_back(r.target);
        return out;
    }
    LocalText final_text() const {
        return view.messages.empty() ? LocalText() : view.messages.back().text;
    }
};

TEST_F(TraceRunTest, VisitsRoundsThenKeywordsThenTickedEnginesInOrder) {
    three_ticked_engines();
    view.keywords = "a\r\nb";
    view.loop_count = "2";
    const RunReport report = on_start_button_clicked(view);

    std::vector<std::string> expected;
    for (int round = 0; round < 2; ++round)
        for (const char* k_text : {"a", "b"}) {
            const std::string k = k_text;
            expected.push_back("/e1?q=" + k);
            expected.push_back("/e2?q=" + k);
            expected.push_back("/e3?q=" + k + "&again=" + k);
        }
    EXPECT_EQ(targets(), expected);
    EXPECT_TRUE(report.started);
    EXPECT_EQ(report.total, 12u);
    EXPECT_FALSE(report.stopped);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_NE(final_text().find(local(" 在目标网站上留下了 12 个痕迹！")), std::string::npos);
    EXPECT_EQ(final_text().rfind(local("留痕完成！本次使用 "), 0), 0u);
    EXPECT_EQ(view.messages.back().icon, MessageIcon::information);
    // The tree follows the visited engines, skipping the unticked one.
    EXPECT_EQ(view.current_items.size(), 12u);
    EXPECT_EQ(std::vector<int>(view.current_items.begin(), view.current_items.begin() + 3),
              (std::vector<int>{0, 2, 3}));
    // One snapshot per keyword and round.
    EXPECT_EQ(view.snapshots, 4);
}

TEST_F(TraceRunTest, ShowsStatusProgressAndCaptionsOfTheRun) {
    three_ticked_engines();
    view.keywords = "a\r\nb\r\n";
    on_start_button_clicked(view);

    ASSERT_EQ(view.statuses.size(), 7u);
    EXPECT_EQ(view.statuses[0], local("留痕初始化中.."));
    EXPECT_EQ(view.statuses[1], local("(2:1) 【甲】page /e1?q=a"));
    EXPECT_EQ(view.statuses[6], local("(2:2) 【丙】page /e3?q=b&again=b"));
    EXPECT_EQ(view.maximum, 2);
    EXPECT_EQ(view.positions, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(view.visibility, (std::vector<bool>{true, false}));
    ASSERT_GE(view.captions.size(), 3u);
    EXPECT_EQ(view.captions.front(), local("停止留痕"));
    EXPECT_EQ(view.captions[1].rfind(local("停止留痕("), 0), 0u);
    EXPECT_EQ(view.captions[1].back(), ')');
    EXPECT_EQ(view.captions.back(), idle_start_caption());
}

TEST_F(TraceRunTest, LeavesTheTreeAloneWhileTheAddEngineDialogIsOpen) {
    three_ticked_engines();
    view.keywords = "a";
    view.dialog_open = true;
    EXPECT_EQ(on_start_button_clicked(view).total, 3u);
    EXPECT_TRUE(view.current_items.empty());
}

TEST_F(TraceRunTest, FailedVisitsShowTheirReasonAndAreNoTraces) {
    HttpTestServer sites([](Connection& c, const RecordedRequest& request) {
        if (request.target.starts_with("/missing"))
            c.send(support::http_reply(404, "Not Found", "<title>404 Not Found</title>"));
        else
            c.send(support::http_reply(200, "OK", "<title>ok</title>"));
    });
    const std::string dead =
        "http://127.0.0.1:" + std::to_string(support::unused_loopback_port()) + "/?q={*}";
    view.engines = {engine(true, 0, "好", sites.url("/s?q={*}")),
                    engine(true, 0, "缺", sites.url("/missing?q={*}")),
                    engine(true, 0, "死", dead)};
    view.keywords = "a";
    const RunReport report = on_start_button_clicked(view);
    EXPECT_EQ(view.statuses,
              (std::vector<LocalText>{local("留痕初始化中.."), local("(1:1) 【好】ok"),
                                      local("(1:1) 【缺】404 Not Found（网页错误 404）"),
                                      local("(1:1) 【死】（无法连接）")}));
    EXPECT_EQ(report.visits, 3u);
    EXPECT_EQ(report.total, 1u);
    EXPECT_NE(final_text().find(local(" 在目标网站上留下了 1 个痕迹！")), std::string::npos);
}

TEST_F(TraceRunTest, EmptyKeywordListReportsZeroAtOnce) {
    three_ticked_engines();
    view.keywords = "";
    view.loop_count = "3";
    const RunReport report = on_start_button_clicked(view);
    EXPECT_EQ(report.total, 0u);
    EXPECT_TRUE(targets().empty());
    ASSERT_EQ(view.messages.size(), 1u);  // no no-engine question either
    EXPECT_NE(final_text().find(local("留下了 0 个痕迹")), std::string::npos);
}

TEST_F(TraceRunTest, EmptyLineInTheMiddleIsVisitedWithTheEmptyKeyword) {
    view.engines = {engine(true, 0, "甲", server.url("/e1?q={*}"))};
    view.keywords = "x\r\n\r\ny\r\n";
    EXPECT_EQ(on_start_button_clicked(view).total, 3u);
    EXPECT_EQ(targets(), (std::vector<std::string>{"/e1?q=x", "/e1?q=", "/e1?q=y"}));
    EXPECT_EQ(view.statuses[2], local("(3:2) 【甲】page /e1?q="));
}

TEST_F(TraceRunTest, KeywordsAreEncodedInTheEnginesEncoding) {
    view.engines = {engine(true, 0, "G", server.url("/g?q={*}")),
                    engine(true, 1, "U", server.url("/u?q={*}")),
                    engine(true, 7, "O", server.url("/o?q={*}"))};
    view.keywords = local("中 a");
    on_start_button_clicked(view);
    EXPECT_EQ(targets(), (std::vector<std::string>{"/g?q=%D6%D0%20a", "/u?q=%E4%B8%AD%20a",
                                                   "/o?q=%D6%D0%20a"}));
}

TEST_F(TraceRunTest, TakesAFreshEngineSnapshotForEveryKeyword) {
    view.engines = {engine(true, 0, "甲", server.url("/e1?q={*}")),
                    engine(false, 0, "乙", server.url("/e2?q={*}"))};
    view.keywords = "a\r\nb";
    // The user ticks the second engine while the first keyword runs.
    view.on_interval = [this](int) { view.engines[1].enabled = true; };
    EXPECT_EQ(on_start_button_clicked(view).total, 3u);
    EXPECT_EQ(targets(), (std::vector<std::string>{"/e1?q=a", "/e1?q=b", "/e2?q=b"}));
}

TEST_F(TraceRunTest, WaitsTheIntervalAfterEveryVisitReadingItAnew) {
    view.engines = {engine(true, 0, "甲", server.url("/e1?q={*}")),
                    engine(true, 0, "乙", server.url("/e2?q={*}"))};
    view.keywords = "a\r\nb";
    view.interval = "0.5";
    int pumps = 0;
    TestHooks hooks([&pumps] { ++pumps; });
    std::vector<int> pumps_per_wait;
    RunServices services;
    services.wait = [&](long ms, const bool& stop) {
        view.events.push_back("wait " + std::to_string(ms));
        const int before = pumps;
        pause(ms, stop);
        pumps_per_wait.push_back(pumps - before);
    };
    // The user clears the interval during the third visit's pause reading: no pause after it.
    view.on_interval = [this](int reading) {
        if (reading == 3) view.interval = "abc";
        if (reading == 4) view.interval = "0.5";
    };
    EXPECT_EQ(on_start_button_clicked(view, services).total, 4u);
    EXPECT_EQ(view.events,
              (std::vector<std::string>{"wait 500", "wait 500", "wait 0", "wait 500", "final"}));
    // Each 500 ms pause is fifty 10 ms slices, each letting the window handle its events.
    EXPECT_EQ(pumps_per_wait, (std::vector<int>{50, 50, 0, 50}));
}

TEST_F(TraceRunTest, StopClickDuringAPauseEndsItAtTheNextPump) {
    view.engines = {engine(true, 0, "甲", server.url("/e1?q={*}")),
                    engine(true, 0, "乙", server.url("/e2?q={*}"))};
    view.keywords = "a\r\nb";
    view.loop_count = "5";
    view.interval = "100";
    bool in_wait = false;
    int pumps_in_wait = 0;
    int pumps_after_stop = -1;
    TestHooks hooks([&] {
        if (pumps_after_stop >= 0) ++pumps_after_stop;
        if (!in_wait) return;
        if (++pumps_in_wait == 5) {
            // The second click on the same button, handled inside the run's pause.
            const RunReport inner = on_start_button_clicked(view);
            EXPECT_FALSE(inner.started);
            EXPECT_EQ(view.caption, local("停止中..."));
            pumps_after_stop = 0;
        }
    });
    RunServices services;
    services.wait = [&](long ms, const bool& stop) {
        in_wait = true;
        pause(ms, stop);
        in_wait = false;
    };
    const RunReport report = on_start_button_clicked(view, services);
    EXPECT_TRUE(report.stopped);
    EXPECT_EQ(report.total, 1u);
    EXPECT_EQ(pumps_in_wait, 5);  // the pause returned right after the pump that stopped it
    EXPECT_LE(pumps_after_stop, 2);
    EXPECT_EQ(targets().size(), 1u);
    EXPECT_EQ(view.caption, idle_start_caption());
    EXPECT_NE(final_text().find(local("留下了 1 个痕迹")), std::string::npos);
    // The flag stays set after the stopped run until the next start clears it.
    EXPECT_TRUE(trace_stop_flag());
    view.loop_count = "1";
    view.interval = "0";
    EXPECT_EQ(on_start_button_clicked(view).total, 4u);
    EXPECT_FALSE(trace_stop_flag());
}

TEST_F(TraceRunTest, StopBeforeAKeywordsFirstVisitAsksOnceThenEnds) {
    view.engines = {engine(true, 0, "甲", server.url("/e1?q={*}"))};
    view.keywords = "a\r\nb\r\nc";
    // The stop click lands while the second keyword's snapshot is being taken.
    view.on_snapshot = [this](int number) {
        if (number == 2) on_start_button_clicked(view);
    };
    const RunReport report = on_start_button_clicked(view);
    EXPECT_EQ(report.total, 1u);
    EXPECT_EQ(view.events, (std::vector<std::string>{"question", "final"}));
    EXPECT_EQ(targets(), (std::vector<std::string>{"/e1?q=a"}));
}

TEST_F(TraceRunTest, NoEngineQuestionOncePerKeywordWithoutAVisit) {
    view.engines = {engine(false, 0, "甲", server.url("/e1?q={*}"))};
    view.keywords = "a\r\nb\r\nc";
    view.loop_count = "3";
    const RunReport report = on_start_button_clicked(view);
    EXPECT_EQ(report.total, 0u);
    EXPECT_EQ(std::count(view.events.begin(), view.events.end(), "question"), 9);
    EXPECT_EQ(view.messages.front().text, no_engine_question_text());
    EXPECT_EQ(view.messages.front().buttons, MessageButtons::ok_cancel);
    EXPECT_TRUE(targets().empty());
}

TEST_F(TraceRunTest, CancelInTheNoEngineQuestionEndsAllRounds) {
    view.engines = {engine(false, 0, "甲", server.url("/e1?q={*}"))};
    view.keywords = "a\r\nb\r\nc";
    view.loop_count = "3";
    view.answers = {MessageAnswer::ok, MessageAnswer::cancel};
    const RunReport report = on_start_button_clicked(view);
    EXPECT_TRUE(report.cancelled);
    EXPECT_EQ(view.events, (std::vector<std::string>{"question", "question", "final"}));
    EXPECT_EQ(view.caption, idle_start_caption());
}

TEST_F(TraceRunTest, OkInTheQuestionGoesOnWithTheNextKeyword) {
    view.engines = {engine(false, 0, "甲", server.url("/e1?q={*}"))};
    view.keywords = "a\r\nb";
    view.on_snapshot = [this](int number) { view.engines[0].enabled = number >= 2; };
    const RunReport report = on_start_button_clicked(view);
    EXPECT_EQ(report.total, 1u);
    EXPECT_EQ(view.events, (std::vector<std::string>{"question", "final"}));
    EXPECT_EQ(targets(), (std::vector<std::string>{"/e1?q=b"}));  // "a" is not repeated
}

// A stop click while a visit waits on its site: the visit is given up at the next poll, makes
// no further attempt, and is neither shown nor counted. Rows: a site that takes the connection
// and never answers on the https path (the plain path is in tests/faults), and a page without a
// title, stopped once it has answered (in the pause before the second attempt, or just before).
struct StalledVisit {
    const char* name;
    const char* scheme;
    bool answers;  // replies with an untitled page instead of holding the connection
};

void PrintTo(const StalledVisit& row, std::ostream* out) {
    *out << row.name;
}

class StopDuringAVisit : public ::testing::TestWithParam<StalledVisit> {
  protected:
    // Far above the stop bound: an exchange that is not given up ends only with the cap.
    void SetUp() override { set_request_deadline_cap(10000); }
    void TearDown() override { set_request_deadline_cap(0); }
};

TEST_P(StopDuringAVisit, GivesTheVisitUpWithinASecondUncounted) {
    using Clock = std::chrono::steady_clock;
    const StalledVisit row = GetParam();
    std::atomic<bool> answered{false};
    HttpTestServer site([&](Connection& c, const RecordedRequest&) {
        if (!row.answers) return c.hold();
        c.send(support::http_reply(200, "OK", "<html>no title</html>"));
        answered = true;
    });
    const std::string address =
        std::string(row.scheme) + "://127.0.0.1:" + std::to_string(site.port()) + "/s?q={*}";
    FakeRunView view;
    view.engines = {engine(true, 0, "慢", address), engine(true, 0, "后", address)};
    view.keywords = "a\r\nb";
    Clock::time_point stopped_at{};
    TestHooks hooks([&] {
        const bool reached = row.answers ? answered.load() : site.connection_count() > 0;
        if (reached && stopped_at == Clock::time_point{}) {
            stopped_at = Clock::now();
            on_start_button_clicked(view);  // the stop click, pumped while the visit waits
        }
    });
    const RunReport report = on_start_button_clicked(view);
    ASSERT_NE(stopped_at, Clock::time_point{}) << "the visit never reached the site";
    EXPECT_LT(Clock::now() - stopped_at, std::chrono::seconds(1));
    EXPECT_TRUE(report.stopped);
    EXPECT_EQ(report.total, 0u);
    EXPECT_EQ(site.connection_count(), 1u) << "no second attempt, no second engine";
    EXPECT_EQ(view.statuses, std::vector<LocalText>{local("留痕初始化中..")});
    EXPECT_TRUE(view.events == std::vector<std::string>{"final"}) << "no no-engine question";
    EXPECT_NE(view.messages.back().text.find(local("留下了 0 个痕迹")), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Rows, StopDuringAVisit,
                         ::testing::Values(StalledVisit{"StalledHttps", "https", false},
                                           StalledVisit{"UntitledPage", "http", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RunInputsTest, LoopCountReadsLikeAtoiAndRunsAtLeastOnce) {
    EXPECT_EQ(read_loop_count(""), 1);
    EXPECT_EQ(read_loop_count("0"), 1);
    EXPECT_EQ(read_loop_count("-4"), 1);
    EXPECT_EQ(read_loop_count("abc"), 1);
    EXPECT_EQ(read_loop_count(" 3x"), 3);
    EXPECT_EQ(read_loop_count("+7"), 7);
    EXPECT_EQ(read_loop_count("99999999999999999999"), INT_MAX);
}

TEST(RunInputsTest, IntervalReadsLikeAtofTruncatedToMilliseconds) {
    EXPECT_EQ(read_interval_ms("0.5"), 500);
    EXPECT_EQ(read_interval_ms(" 2.5s"), 2500);
    EXPECT_EQ(read_interval_ms("1"), 1000);
    EXPECT_EQ(read_interval_ms("0.0019"), 1);
    EXPECT_EQ(read_interval_ms(".25"), 250);
    EXPECT_EQ(read_interval_ms("3e-1"), 300);
    EXPECT_EQ(read_interval_ms("0x1p-1"), 500);
    EXPECT_EQ(read_interval_ms(""), 0);
    EXPECT_EQ(read_interval_ms("abc"), 0);
    EXPECT_EQ(read_interval_ms("-1"), 0);
    EXPECT_EQ(read_interval_ms("+-1"), 0);
    EXPECT_EQ(read_interval_ms("nan"), 0);
    EXPECT_EQ(read_interval_ms("1e300"), INT_MAX);
}

// A site that asks to be left alone is waited for as the parallel run waits: its Retry-After
// once per visit (capped), else the back-off from max(interval, floor), then `rate-limited`.
// An address too long to visit is not requested. The final lines count what the pages showed.
TEST(TraceRunRateLimits, RetryAfterOnceThenTheBackOffThenRateLimited) {
    std::atomic<int> busy_answers{0};
    HttpTestServer server([&](Connection& c, const RecordedRequest& request) {
        if (request.target.starts_with("/busy") && busy_answers++ == 0) {
            c.send(support::http_reply(429, "Too Many Requests", "", {"Retry-After: 3"}));
        } else if (request.target.starts_with("/busy") || request.target.starts_with("/full")) {
            c.send(support::http_reply(503, "Busy", ""));
        } else {
            c.send(support::http_reply(200, "OK", "<title>t</title>a", {"X-Robots-Tag: noindex"}));
        }
    });
    FakeRunView view;
    view.engines = {engine(true, 0, "忙", server.url("/busy?q={*}")),
                    engine(true, 0, "好", server.url("/ok?q={*}"))};
    view.keywords = "a\r\n" + std::string(9000, 'x');
    std::vector<long> waits;
    RunServices services;
    services.rate_limits.backoff_floor_ms = 100;
    services.rate_limits.backoff_retries = 2;
    services.wait = [&](long ms, const bool&) { waits.push_back(ms); };
    const RunReport report = on_start_button_clicked(view, services);

    // 3 s asked, then 503s without Retry-After: 100 ms, 200 ms, then given up.
    EXPECT_EQ(waits, (std::vector<long>{3000, 100, 200, 0, 0, 0, 0}));
    EXPECT_EQ(busy_answers.load(), 4);
    EXPECT_EQ(server.request_count(), 5u);  // the long keyword was never sent
    EXPECT_NE(view.statuses.end(),
              std::find(view.statuses.begin(), view.statuses.end(),
                        visit_status_text(2, 1, local("忙"), "") + local("（访问受限）")));
    EXPECT_EQ(view.statuses.back(),
              visit_status_text(2, 2, local("好"), "") + local("（网址过长，未访问）"));
    EXPECT_EQ(report.total, 1u);
    EXPECT_EQ(report.visits, 4u);
    EXPECT_EQ(report.echoed, 1u);
    EXPECT_EQ(report.noindex, 1u);
    EXPECT_NE(final_message_of(view).find(local("\n其中 1 个页面显示了关键词，1 个页面禁止收录")),
              std::string::npos);
}

}  // namespace
}  // namespace trasslo

namespace trasslo {
namespace {

using support::FakeRunView;

// The window's safeguard: asked once the last 50 visits are mostly failures; No goes on and
// asks again only 50 visits later; Yes halts the run as a stop does.
TEST(TraceRunSafeguard, AsksWhenMostVisitsFailAndHaltsOnYes) {
    FakeRunView view;
    view.engines = {support::engine(true, 0, "甲", "http://a.test/s?q={*}")};
    for (int i = 0; i < 150; ++i) view.keywords += "k" + std::to_string(i) + "\r\n";
    int made = 0;
    RunServices services;
    services.visit = [&](std::string_view, std::string_view, int) {
        VisitOutcome outcome;
        if (++made <= 5) {
            outcome.status = 200;
        } else {
            outcome.error = VisitError::connect;
        }
        return outcome;
    };
    services.wait = [](long, const bool&) {};
    Safeguard safeguard;
    services.safeguard = &safeguard;
    std::vector<std::pair<int, std::string>> asked;
    services.halt = [&](const Safeguard& watch) {
        asked.emplace_back(made, to_utf8(watch.question_text()));
        return asked.size() == 2;
    };
    const RunReport report = on_start_button_clicked(view, services);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0], std::make_pair(50, std::string("最近 50 次访问中 45 次失败（多为 "
                                                       "无法连接），是否暂停留痕？")));
    EXPECT_EQ(asked[1].first, 100);
    EXPECT_TRUE(report.halted);
    EXPECT_TRUE(report.stopped);
    EXPECT_EQ(report.visits, 100u);
    EXPECT_EQ(made, 100);
}

}  // namespace
}  // namespace trasslo
