// The parallel run against loopback sites told apart by their Host header: the requests are the
// sequential run's byte for byte, one request per site at a time, the interval per site, 429 and
// 503 backed off, a site that is down skipped, and every planned visit recorded once.
#include "run/parallel_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <numeric>
#include <set>

#include "net/site_of_host.h"
#include "run/fake_views.h"
#include "support/host_sites.h"
#include "support/http_test_server.h"

namespace trasslo {
namespace {

using namespace std::chrono_literals;
using support::engine;
using support::FakeRunView;
using support::HostSites;
using Reply = HostSites::Reply;

// The record of a run, in the order the visits ended.
struct Recorded {
    VisitPosition position;
    VisitOutcome outcome;
};
class ListRecorder : public RunRecorder {
  public:
    std::vector<Recorded> visits;
    std::optional<bool> finished;
    void run_started(const RunInputs&) override {}
    bool visit_recorded(const VisitPosition&) override { return false; }
    void visit_made(const VisitPosition& position, std::string_view, const TraceEngine&,
                    const VisitOutcome& outcome) override {
        visits.push_back({position, outcome});
    }
    void run_ended(bool done) override { finished = done; }
};

std::string titled(const std::string& text) {
    return "<html><head><title>" + text + "</title></head><body>kw</body></html>";
}

class ParallelRunTest : public ::testing::Test {
  protected:
    HostSites sites;
    FakeRunView view;
    ListRecorder recorder;
    ParallelSettings settings;

    ParallelRunTest() { view.keywords = "kw"; }

    // An engine at `host` whose page is served, titled after host and path.
    TraceEngine page_engine(const std::string& host, const std::string& path) {
        sites.serve(host, path + "?q=kw", titled(host + path));
        return engine(true, 0, (host + path).c_str(), sites.url(host, path + "?q={*}"));
    }
    RunReport run() {
        RunServices services;
        services.recorder = &recorder;
        return run_parallel(view, services, settings);
    }
    // Each site's requests ("host path") in the order they arrived.
    std::map<std::string, std::vector<std::string>> by_site() const {
        std::map<std::string, std::vector<std::string>> out;
        for (const HostSites::Served& s : sites.served())
            out[site_of_host(s.host)].push_back(s.host + " " + s.target);
        return out;
    }
};

TEST_F(ParallelRunTest, SendsTheSequentialRunsRequestsByteForByte) {
    support::HttpTestServer server([](support::Connection& c, const support::RecordedRequest& r) {
        c.send(support::http_reply(200, "OK", r.target.starts_with("/bare") ? "" : titled("t")));
    });
    view.keywords = local("中文");
    view.engines = {engine(true, 0, "甲", server.url("/g?q={*}")),
                    engine(true, 1, "乙", server.url("/u?q={*}&r={*}")),
                    engine(true, 0, "无题", server.url("/bare?q={*}"))};  // three attempts
    on_start_button_clicked(view);
    const std::vector<support::RecordedRequest> sequential = server.requests();
    ASSERT_EQ(sequential.size(), 5u);
    settings.sites = 4;
    view.caption = idle_start_caption();
    run();
    const std::vector<support::RecordedRequest> all = server.requests();
    ASSERT_EQ(all.size(), 10u);
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(all[5 + i].raw, sequential[i].raw);
    ASSERT_EQ(recorder.visits.size(), 3u);
    EXPECT_EQ(recorder.visits[2].outcome.attempts, 3);
}

TEST_F(ParallelRunTest, OneRequestPerSiteAtATimeInPlanOrderWhileSitesGoOnTogether) {
    sites.delay_answers(60ms);
    // Two hosts of one site, and three sites more; four engines each, listed interleaved.
    const std::vector<std::string> hosts = {"a.one.localhost", "b.one.localhost", "two.localhost",
                                            "three.localhost", "four.localhost"};
    for (int e = 0; e < 4; ++e)
        for (const std::string& host : hosts)
            view.engines.push_back(page_engine(host, "/e" + std::to_string(e)));
    view.loop_count = "2";
    settings.sites = 8;
    const RunReport report = run();

    EXPECT_FALSE(report.stopped);
    EXPECT_EQ(report.visits, 40u);
    EXPECT_EQ(report.total, 40u);
    EXPECT_EQ(recorder.finished, true);
    EXPECT_EQ(view.statuses.size(), 1u + 40u);  // "留痕初始化中.." and one per visit
    // Every planned visit recorded exactly once.
    std::set<std::tuple<int, int, int>> positions;
    for (const Recorded& r : recorder.visits)
        positions.insert({r.position.round, r.position.keyword, r.position.engine});
    EXPECT_EQ(positions.size(), 40u);

    EXPECT_EQ(sites.most_open_per_host(), 1);
    EXPECT_GE(sites.most_open(), 3);  // the four sites went on together
    // Within a site, nothing overlaps and the sequential order holds.
    std::map<std::string, std::vector<HostSites::Served>> served;
    for (const HostSites::Served& s : sites.served()) served[site_of_host(s.host)].push_back(s);
    ASSERT_EQ(served.size(), 4u);
    for (auto& [site, list] : served) {
        std::sort(list.begin(), list.end(),
                  [](const auto& a, const auto& b) { return a.start < b.start; });
        for (std::size_t i = 1; i < list.size(); ++i)
            EXPECT_GE(list[i].start, list[i - 1].end) << site;
    }
    const auto order = by_site();
    std::vector<std::string> one;
    for (int round = 0; round < 2; ++round)
        for (int e = 0; e < 4; ++e)
            for (const char* host : {"a.one.localhost", "b.one.localhost"})
                one.push_back(std::string(host) + " /e" + std::to_string(e) + "?q=kw");
    EXPECT_EQ(order.at("one.localhost"), one);
}

TEST_F(ParallelRunTest, TheIntervalIsKeptPerSiteFromTheEndOfItsLastVisit) {
    for (int e = 0; e < 3; ++e) {
        view.engines.push_back(page_engine("slow.localhost", "/e" + std::to_string(e)));
        view.engines.push_back(page_engine("other.localhost", "/e" + std::to_string(e)));
    }
    view.interval = "0.3";
    settings.sites = 2;
    run();
    ASSERT_EQ(recorder.visits.size(), 6u);
    std::map<std::string, std::vector<HostSites::Served>> served;
    for (const HostSites::Served& s : sites.served()) served[s.host].push_back(s);
    for (auto& [host, list] : served) {
        ASSERT_EQ(list.size(), 3u);
        for (std::size_t i = 1; i < list.size(); ++i)
            EXPECT_GE(list[i].start - list[i - 1].end, 300ms) << host;
    }
    // The other site's visits went on in the first site's pauses.
    EXPECT_LT(served["other.localhost"][0].start, served["slow.localhost"][1].start);
    EXPECT_LT(served["slow.localhost"][0].start, served["other.localhost"][1].start);
}

TEST_F(ParallelRunTest, TooManyRequestsAndUnavailableAreRetriedAsTheSiteAsksThenRateLimited) {
    const Reply ok{200, {}, titled("fine")};
    const Reply busy{503};
    const Reply slow_down{429};
    auto after = [](int status, const std::string& value) {
        return Reply{status, {"Retry-After: " + value}};
    };
    const struct {
        const char* name;
        std::vector<Reply> replies;
        std::size_t requests;
        VisitError error;
        std::vector<std::chrono::milliseconds> least_gaps;  // between the requests
    } rows[] = {
        {"seconds", {after(429, "1"), ok}, 2, VisitError::none, {1000ms}},
        {"date passed", {after(503, "Thu, 01 Jan 1970 00:00:00 GMT"), ok}, 2, VisitError::none, {}},
        {"retried once only",
         {after(429, "0"), after(429, "0"), ok},
         2,
         VisitError::rate_limited,
         {}},
        {"beyond ten minutes", {after(503, "601"), ok}, 1, VisitError::rate_limited, {}},
        {"a date centuries away",
         {after(429, "Fri, 31 Dec 2147483647 23:59:59 GMT"), ok},
         1,
         VisitError::rate_limited,
         {}},
        {"backoff then answer", {busy, slow_down, ok}, 3, VisitError::none, {50ms, 100ms}},
        {"backoff doubles to its cap",
         {busy, busy, busy, busy, ok},
         4,
         VisitError::rate_limited,
         {50ms, 100ms, 150ms}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        HostSites server;
        server.script("limited.localhost", row.replies);
        server.serve("limited.localhost", "/s?q=kw", titled("fine"));
        server.serve("free.localhost", "/s?q=kw", titled("free"));
        FakeRunView limited_view;
        limited_view.keywords = "kw";
        limited_view.engines = {engine(true, 0, "限", server.url("limited.localhost", "/s?q={*}")),
                                engine(true, 0, "free", server.url("free.localhost", "/s?q={*}"))};
        ListRecorder record;
        ParallelSettings quick;
        quick.sites = 2;
        quick.backoff_floor_ms = 50;
        quick.backoff_cap_ms = 150;
        RunServices services;
        services.recorder = &record;
        run_parallel(limited_view, services, quick);

        std::vector<HostSites::Served> asked;
        for (const HostSites::Served& s : server.served())
            if (s.host == "limited.localhost") asked.push_back(s);
        EXPECT_EQ(asked.size(), row.requests);
        for (std::size_t i = 0; i < row.least_gaps.size() && i + 1 < asked.size(); ++i)
            EXPECT_GE(asked[i + 1].start - asked[i].end, row.least_gaps[i]) << i;
        ASSERT_EQ(record.visits.size(), 2u);
        // The other site did not wait while the limited one was left alone: where the limited
        // site is asked to wait a second, the free site has been asked before that wait ends.
        // (Without a wait, which of the two ends first is a race.)
        const auto waited = std::accumulate(row.least_gaps.begin(), row.least_gaps.end(), 0ms);
        if (waited >= 1000ms) {
            const auto served = server.served();
            const auto free = std::find_if(served.begin(), served.end(), [](const auto& s) {
                return s.host == "free.localhost";
            });
            ASSERT_NE(free, served.end());
            EXPECT_LT(free->start, asked.back().start);
        }
        const Recorded& limited = record.visits[record.visits[0].position.engine == 1 ? 0 : 1];
        EXPECT_EQ(limited.outcome.error, row.error);
        const bool said = std::any_of(
            limited_view.statuses.begin(), limited_view.statuses.end(),
            [](const LocalText& line) { return line.ends_with(local("【限】（访问受限）")); });
        EXPECT_EQ(said, row.error == VisitError::rate_limited);
    }
}

TEST_F(ParallelRunTest, ASiteThatIsDownHasItsOtherVisitsRecordedWithoutARequest) {
    const std::string dead =
        "http://127.0.0.7:" + std::to_string(support::unused_loopback_port()) + "/x";
    for (int e = 0; e < 4; ++e)
        view.engines.push_back(engine(true, 0, ("dead" + std::to_string(e)).c_str(),
                                      dead + std::to_string(e) + "?q={*}"));
    view.engines.push_back(page_engine("alive.localhost", "/a"));
    settings.sites = 2;
    settings.down_after = 2;
    const RunReport report = run();
    EXPECT_EQ(report.visits, 5u);
    EXPECT_EQ(report.total, 1u);
    std::map<int, VisitOutcome> dead_visits;
    for (const Recorded& r : recorder.visits)
        if (r.position.engine <= 4) dead_visits[r.position.engine] = r.outcome;
    ASSERT_EQ(dead_visits.size(), 4u);
    for (int e : {1, 2}) {
        EXPECT_EQ(dead_visits[e].error, VisitError::connect);
        EXPECT_EQ(dead_visits[e].attempts, 3);
    }
    for (int e : {3, 4}) {
        EXPECT_EQ(dead_visits[e].error, VisitError::site_down);
        EXPECT_EQ(dead_visits[e].attempts, 0);
        EXPECT_EQ(dead_visits[e].address, dead + std::to_string(e - 1) + "?q=kw");
    }
    EXPECT_NE(view.statuses.back().find(local("（网站无法访问，已跳过）")), std::string::npos);
    EXPECT_EQ(visit_error_name(VisitError::site_down), "site-down");
    EXPECT_EQ(visit_error_name(VisitError::rate_limited), "rate-limited");
}

}  // namespace
}  // namespace trasslo
