// The engine check against loopback sites, one per verdict, all checked as one list: each
// verdict, the robots answer and suggested encoding beside it, the requests each site saw (at
// most two visits per engine and one robots.txt per site), the journal's record of the check,
// and what the results change in an engine list. Then a stop of the window's worker.
#include "check/check_run.h"
#include "check/check_worker.h"
#include "check/parallel_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "base/ui_dispatch.h"
#include "journal/check_records.h"
#include "net/curl_request.h"
#include "net/site_of_host.h"
#include "support/host_sites.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"
#include "text/url_encode.h"

namespace trasslo {
namespace {

using support::HostSites;

const LocalText& keyword() {
    static const LocalText word = local("测试123456");
    return word;
}

// The request target of "/s?q={*}" with the keyword in an encoding (1: UTF-8, else GBK).
std::string search_target(int encoding) {
    return fill_template("/s?q={*}", keyword(), encoding == engine_encoding_utf8);
}

std::string utf8_page(const std::string& body, const std::string& head = "") {
    return "<html><head><meta charset=utf-8><title>结果</title>" + head + "</head><body>" + body +
           "</body></html>";
}

struct SiteRow {
    const char* host;  // also the engine's name
    int encoding;
    Verdict verdict;
    const char* robots;
    const char* suggested;
    int visits;  // requests for the search page the site saw; -1: not counted (retries)
};

// One site per verdict. Every page has a title, so that each visit is one request.
void serve_sites(HostSites& sites) {
    const std::string echo = utf8_page("找到 测试123456 的结果");
    const std::string silent = utf8_page("没有结果");
    const std::string utf8 = search_target(engine_encoding_utf8);
    const std::string gbk = search_target(engine_encoding_gbk);

    sites.serve("ok.localhost", utf8, echo);
    sites.serve("ok.localhost", fill_template("/t?q={*}", keyword(), true), echo);
    sites.serve("missing.localhost", utf8, "<title>404 Not Found</title>", 404);
    sites.serve("home.localhost", utf8, "", 302, {"Location: /"});
    sites.serve("home.localhost", "/", utf8_page("首页"));
    // Shows the keyword only when it arrives in GBK, to an engine set to UTF-8.
    sites.serve("gbk.localhost", utf8, local("<title>结果</title>没有结果"));
    sites.serve("gbk.localhost", gbk, local("<title>结果</title>找到 测试123456"));
    sites.serve("silent.localhost", utf8, silent);
    sites.serve("silent.localhost", gbk, silent);
    sites.serve("robots.localhost", utf8, echo);
    sites.serve("robots.localhost", "/robots.txt",
                "User-agent: Googlebot\nAllow: /\n\nUser-agent: Baiduspider\nDisallow: /s?\n");
    sites.serve("robots5xx.localhost", utf8, echo);
    sites.serve("robots5xx.localhost", "/robots.txt", "busy", 503);
    sites.serve("noindex.localhost", utf8,
                utf8_page("测试123456", "<meta name=\"robots\" content=\"noindex\">"));
    sites.serve("noindex.localhost", "/robots.txt", "User-agent: *\nDisallow: /private\n");
    // 10 MB of robots.txt whose only rule lies beyond the 500 KiB that are read.
    std::string big = "User-agent: *\n";
    while (big.size() < 10u * 1024u * 1024u) big += "# " + std::string(98, 'x') + "\n";
    sites.serve("bigrobots.localhost", utf8, echo);
    sites.serve("bigrobots.localhost", "/robots.txt", big + "Disallow: /\n");
    sites.serve("loop.localhost", utf8, "", 302, {"Location: " + utf8});
    sites.serve("loop.localhost", gbk, "", 302, {"Location: " + gbk});
    sites.hold("stall.localhost");
    // Asked to come back later: no second attempt, and no robots.txt request either.
    sites.serve("busy.localhost", utf8, "", 429);
    sites.serve("full.localhost", utf8, "", 503, {"Retry-After: 5"});
    sites.serve("broken.localhost", utf8, "", 503);
    // A challenge in a 403: a challenge, not an http error.
    sites.serve("challenge.localhost", utf8, utf8_page("Just a moment..."), 403,
                {"cf-mitigated: challenge"});
}

const SiteRow kRows[] = {
    {"ok.localhost", 1, Verdict::ok, "none", "", 1},
    {"missing.localhost", 1, Verdict::http_error, "none", "", 1},
    {"home.localhost", 1, Verdict::redirect_home, "none", "", 1},
    {"gbk.localhost", 1, Verdict::encoding_mismatch, "none", "gbk", 2},
    {"silent.localhost", 1, Verdict::not_echoed, "none", "", 2},
    {"robots.localhost", 1, Verdict::robots_disallow, "disallow", "", 1},
    {"robots5xx.localhost", 1, Verdict::robots_disallow, "disallow", "", 1},
    {"noindex.localhost", 1, Verdict::noindex, "allow", "", 1},
    {"bigrobots.localhost", 1, Verdict::ok, "allow", "", 1},
    {"loop.localhost", 1, Verdict::not_echoed, "none", "", -1},
    {"stall.localhost", 1, Verdict::timeout, "", "", 1},  // one attempt: it timed out
    {"busy.localhost", 1, Verdict::rate_limited, "", "", 1},
    {"full.localhost", 1, Verdict::rate_limited, "", "", 1},
    {"broken.localhost", 1, Verdict::http_error, "none", "", -1},
    {"challenge.localhost", 1, Verdict::challenge, "", "", 1},
    {"down", 1, Verdict::unreachable, "", "", -1},
};

class EngineCheckList : public ::testing::Test {
  protected:
    // Room for the redirect loop's 21 delayed answers on a busy machine; the stalled site costs
    // this much per request.
    void SetUp() override { set_request_deadline_cap(2000); }
    void TearDown() override {
        sites.release();
        set_request_deadline_cap(0);
    }
    HostSites sites;
    support::TempDir dir;
};

// Every request a site (by registrable domain) saw began after its previous one was answered.
void expect_one_request_per_site(const HostSites& sites) {
    std::map<std::string, std::vector<HostSites::Served>> by_site;
    for (const HostSites::Served& served : sites.served())
        by_site[site_of_host(served.host)].push_back(served);
    for (auto& [site, served] : by_site) {
        std::sort(served.begin(), served.end(),
                  [](const auto& a, const auto& b) { return a.start < b.start; });
        for (std::size_t i = 1; i < served.size(); ++i)
            EXPECT_GE(served[i].start, served[i - 1].end) << site << " " << served[i].target;
    }
}

// The same list checked one engine after the other (1) and over many sites at once: the same
// verdicts, requests and records, and never two requests of one site at a time.
class EngineCheckDrivers : public EngineCheckList, public ::testing::WithParamInterface<int> {};
INSTANTIATE_TEST_SUITE_P(SitesAtOnce, EngineCheckDrivers, ::testing::Values(1, 16));

TEST_P(EngineCheckDrivers, OneSitePerVerdictWithinTheRequestBudget) {
    serve_sites(sites);
    std::vector<TraceEngine> engines;
    for (const SiteRow& row : kRows) {
        const std::string host = row.host;
        const std::string address =
            host == "down"
                ? "http://127.0.0.1:" + std::to_string(support::unused_loopback_port()) + "/s?q={*}"
                : sites.url(host, "/s?q={*}");
        engines.push_back(TraceEngine{true, row.encoding, host, address});
    }
    // A second engine on the ok site: its robots.txt is not asked for again.
    engines.push_back(TraceEngine{true, 1, "ok-t", sites.url("ok.localhost", "/t?q={*}")});
    // Another host of the same site, which has a robots.txt of its own.
    sites.serve("www.ok.localhost", search_target(engine_encoding_utf8),
                utf8_page("找到 测试123456 的结果"));
    engines.push_back(TraceEngine{true, 1, "www-ok", sites.url("www.ok.localhost", "/s?q={*}")});
    // Answers that take a while, so that requests of a site sent at once would overlap.
    sites.delay_answers(std::chrono::milliseconds(10));

    std::string problem;
    std::unique_ptr<Journal> journal =
        Journal::open(dir.path() / "j.db", Journal::Mode::write, problem);
    ASSERT_TRUE(journal) << problem;
    std::vector<EngineCheck> checks(engines.size());
    std::vector<std::size_t> ended;
    const std::atomic<bool> stop{false};
    const EngineChecked checked = [&](std::size_t index, const EngineCheck& check) {
        ended.push_back(index);
        checks[index] = check;
    };
    const CheckNotice notice = [&](const std::string& text) { problem = text; };
    const CheckTotals totals =
        GetParam() == 1 ? check_engines(engines, keyword(), stop, checked, journal.get(), notice)
                        : check_engines_in_parallel(engines, keyword(), GetParam(), stop, checked,
                                                    journal.get(), notice);
    EXPECT_EQ(problem, "");
    ASSERT_EQ(std::set<std::size_t>(ended.begin(), ended.end()).size(), engines.size());
    // A site's engines in list order (the ok site's); in sequence, the whole list.
    EXPECT_LT(std::find(ended.begin(), ended.end(), 0) - ended.begin(),
              std::find(ended.begin(), ended.end(), engines.size() - 1) - ended.begin());
    if (GetParam() == 1) {
        EXPECT_TRUE(std::is_sorted(ended.begin(), ended.end()));
    }
    expect_one_request_per_site(sites);
    // In parallel, other sites go on while the stalled one holds its request.
    if (GetParam() > 1) {
        EXPECT_GT(sites.most_open(), 1);
    }
    EXPECT_EQ(totals.valid, 4u);
    EXPECT_EQ(totals.invalid, engines.size() - 4);
    EXPECT_FALSE(totals.stopped);

    std::map<std::string, int> requests;  // "host path" -> how many
    for (const std::string& request : sites.requests()) ++requests[request];
    for (std::size_t i = 0; i < std::size(kRows); ++i) {
        const SiteRow& row = kRows[i];
        const CheckRecord record = check_record(checks[i]);
        SCOPED_TRACE(row.host);
        EXPECT_EQ(record.verdict, verdict_name(row.verdict));
        EXPECT_EQ(record.robots, row.robots);
        EXPECT_EQ(record.suggested_encoding, row.suggested);
        EXPECT_FALSE(checks[i].abandoned);
        const std::string host = row.host;
        EXPECT_LE(requests[host + " /robots.txt"], 1);
        if (row.visits >= 0) {
            int visits = 0;
            for (const auto& [request, count] : requests)
                if (request.starts_with(host + " /s?")) visits += count;
            EXPECT_EQ(visits, row.visits);
        }
    }
    EXPECT_EQ(check_record(checks.back()).verdict, "ok");
    EXPECT_EQ(requests["ok.localhost /robots.txt"], 1);
    EXPECT_EQ(requests["www.ok.localhost /robots.txt"], 1);
    EXPECT_EQ(check_reason(check_record(checks[1])), local("状态码 404"));
    EXPECT_EQ(check_status_line(checks[3]), local("【gbk.localhost】编码不符（应改用 GBK 编码）"));

    // Every check is in the journal; a later check of an address is the one read back.
    CheckRecord later = check_record(checks[0]);
    later.verdict = "http-error";
    later.checked_ms += 1000;
    ASSERT_TRUE(record_check(*journal, later, problem)) << problem;
    const auto latest = latest_checks(*journal, problem);
    ASSERT_TRUE(latest) << problem;
    ASSERT_EQ(latest->size(), engines.size());
    EXPECT_EQ(latest->at(to_utf8(engines[0].address)).verdict, "http-error");
    EXPECT_EQ(latest->at(to_utf8(engines[3].address)).verdict, "encoding-mismatch");

    // Unticked: the checked engines that are not ok, found again in a list that changed since.
    std::vector<TraceEngine> list = engines;
    list.erase(list.begin() + 1);
    list.push_back(TraceEngine{true, 1, "new", sites.url("new.localhost", "/s?q={*}")});
    EXPECT_EQ(apply_checks(list, checks, true, true), engines.size() - 5);
    EXPECT_EQ(check_done_text(totals), local("检测完成：4 个有效，") +
                                           std::to_string(engines.size() - 4) + local(" 个无效"));
    EXPECT_TRUE(list[0].enabled);  // ok
    EXPECT_TRUE(list[2].enabled);  // gbk: its encoding fixed, so ticked
    EXPECT_EQ(list[2].encoding, engine_encoding_gbk);
    EXPECT_EQ(list[3].encoding, engine_encoding_utf8);  // silent: not a mismatch
    EXPECT_TRUE(list.back().enabled);                   // added after the check
}

// The window's worker: a stop ends the check in flight, the worker's thread is joined, and
// what it found reaches the user-interface thread as posted tasks only.
TEST_F(EngineCheckList, AStopEndsTheWorkersCheckInFlight) {
    set_request_deadline_cap(0);  // a stalled site would hold the check for minutes
    sites.hold("stall.localhost");
    const std::vector<TraceEngine> engines = {
        TraceEngine{true, 1, "stall", sites.url("stall.localhost", "/s?q={*}")},
        TraceEngine{true, 1, "next", sites.url("next.localhost", "/s?q={*}")}};
    std::size_t reported = 0;
    std::optional<CheckTotals> totals;
    CheckWorkerEvents events;
    events.checked = [&](std::size_t, std::size_t, const EngineCheck&) { ++reported; };
    events.finished = [&](const CheckTotals& end, const std::vector<EngineCheck>&) {
        totals = end;
    };
    {
        CheckWorker worker(engines, keyword(), dir.path() / "j.db", events);
        ASSERT_TRUE(sites.wait_for_requests(1));
        worker.stop();
    }
    EXPECT_FALSE(totals) << "nothing runs on the worker's thread";
    run_posted_ui_tasks();
    ASSERT_TRUE(totals);
    EXPECT_TRUE(totals->stopped);
    EXPECT_EQ(check_done_text(*totals), local("检测已停止：检测了 0 个引擎，0 个有效，0 个无效"));
    EXPECT_EQ(reported, 0u);
    EXPECT_EQ(sites.requests(),
              std::vector<std::string>{"stall.localhost " + search_target(engine_encoding_utf8)});
}

}  // namespace
}  // namespace trasslo
