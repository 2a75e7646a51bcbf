// Parallel runs and shards from the command line: a stopped parallel run resumed in parallel
// makes exactly the visits it had not made, and N processes over one list, each taking its
// shard, together make every planned visit once with no site in two shards.
#include <signal.h>

#include <algorithm>
#include <map>
#include <set>

#include "cli/cli_fixture.h"
#include "net/site_of_host.h"
#include "run/shard.h"
#include "support/host_sites.h"

namespace trasslo::support {
namespace {

class CliParallelTest : public CliTest {
  protected:
    HostSites sites;

    // `per_site` engines on each of the sites s0 .. s(count-1).localhost, two hosts per site.
    std::string site_engines(int count, int per_site) {
        std::vector<std::string> lines;
        for (int e = 0; e < per_site; ++e) {
            for (int s = 0; s < count; ++s) {
                const std::string host =
                    std::string(e % 2 ? "b" : "a") + ".s" + std::to_string(s) + ".localhost";
                const std::string path = "/e" + std::to_string(e);
                sites.serve(host, path + "?q=kw", "<title>" + host + path + "</title>");
                lines.push_back(
                    engine_line(true, 0, host + path, sites.url(host, path + "?q={*}")));
            }
        }
        return write_gbk_lines("engines.txt", lines);
    }
    // The report's rows without its header line.
    std::vector<std::string> report_rows(const std::vector<std::string>& journals) {
        std::vector<std::string> args = {"report"};
        for (const std::string& j : journals) args.insert(args.end(), {"--journal", j});
        const ChildResult r = cli(args);
        EXPECT_EQ(r.status, 0) << r.err;
        std::vector<std::string> rows = lines_of(r.out);
        if (!rows.empty()) rows.erase(rows.begin());
        return rows;
    }
    // The engine column (the fourth) of report rows whose texts hold no comma.
    static std::string engine_of(const std::string& row) {
        std::size_t at = 0;
        for (int i = 0; i < 3; ++i) at = row.find(',', at) + 1;
        return row.substr(at, row.find(',', at) - at);
    }
};

TEST_F(CliParallelTest, AStoppedParallelRunResumedInParallelMakesExactlyTheMissingVisits) {
    const std::string engines = site_engines(3, 3);
    const std::string keywords = write_gbk_lines("k.txt", {"kw"});
    const std::string journal = (dir.path() / "j.db").string();
    // s1's first request stalls: its visit is in flight when the run is stopped.
    sites.script("a.s1.localhost", {HostSites::Reply{200, {}, {}, /*stall=*/true}});
    ChildProcess child(cli_path(),
                       {"run", "--engines", engines, "--keywords", keywords, "--rounds", "2",
                        "--journal", journal, "--parallel", "4"},
                       dir.path());
    // Every site but s1 is done with both rounds (12 visits).
    ASSERT_TRUE(sites.wait_for_requests(13));
    ASSERT_TRUE(child.wait_until(
        [](const std::string& out, const std::string&) { return lines_of(out).size() >= 12; }));
    child.send_signal(SIGINT);
    ASSERT_EQ(child.wait(std::chrono::seconds(5)), 130) << child.err();
    // The visit in flight is neither shown nor recorded; the final message counts the rest.
    const std::vector<std::string> shown = lines_of(child.out());
    ASSERT_EQ(shown.size(), 14u) << child.out();
    EXPECT_NE(shown[12].find("留痕已停止！"), std::string::npos) << shown[12];
    EXPECT_NE(shown[12].find("留下了 12 个痕迹"), std::string::npos) << shown[12];

    const ChildResult resumed = cli({"run", "--resume", "--journal", journal, "--parallel", "3"});
    ASSERT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_EQ(lines_of(resumed.out).size(), 6u + 2u) << resumed.out;  // and the final message
    const std::vector<std::string> rows = report_rows({journal});
    ASSERT_EQ(rows.size(), 18u);
    std::map<std::string, int> per_engine;
    for (const std::string& row : rows) ++per_engine[row.substr(0, 4) + engine_of(row)];
    EXPECT_EQ(per_engine.size(), 18u);  // "1,1," or "1,2," with the engine: each once
    EXPECT_TRUE(
        lines_of(cli({"runs", "--journal", journal}).out)[1].ends_with("\tfinished\t18\t0"));
}

TEST_F(CliParallelTest, ShardsOfOneListMakeEveryVisitOnceWithNoSiteInTwoShards) {
    const std::string engines = site_engines(9, 2);
    const std::string keywords = write_gbk_lines("k.txt", {"kw"});
    std::vector<std::unique_ptr<ChildProcess>> shards;
    std::vector<std::string> journals;
    for (int k = 1; k <= 3; ++k) {
        journals.push_back((dir.path() / ("j" + std::to_string(k) + ".db")).string());
        shards.push_back(std::make_unique<ChildProcess>(
            cli_path(),
            std::vector<std::string>{"run", "--engines", engines, "--keywords", keywords,
                                     "--journal", journals.back(), "--parallel", "4", "--shard",
                                     std::to_string(k) + "/3"},
            dir.path()));
    }
    for (auto& shard : shards) EXPECT_EQ(shard->wait(), 0) << shard->err();

    // Every planned visit made once, on the server's side and in the joined report.
    const std::vector<std::string> asked = sites.requests();
    EXPECT_EQ(asked.size(), 18u);
    EXPECT_EQ(std::set<std::string>(asked.begin(), asked.end()).size(), 18u);
    const std::vector<std::string> joined = report_rows(journals);
    ASSERT_EQ(joined.size(), 18u);
    std::set<std::string> engines_seen;
    for (const std::string& row : joined) engines_seen.insert(engine_of(row));
    EXPECT_EQ(engines_seen.size(), 18u);

    // Each shard took whole sites, those of its own number.
    std::map<std::string, std::set<int>> shards_of_site;
    for (int k = 1; k <= 3; ++k) {
        const std::vector<std::string> rows = report_rows({journals[k - 1]});
        EXPECT_FALSE(rows.empty());
        for (const std::string& row : rows) {
            const std::string site =
                site_of_host(engine_of(row).substr(0, engine_of(row).find('/')));
            shards_of_site[site].insert(k);
            EXPECT_EQ(shard_of_site(site, 3), k) << site;
        }
    }
    EXPECT_EQ(shards_of_site.size(), 9u);
    for (const auto& [site, in] : shards_of_site) EXPECT_EQ(in.size(), 1u) << site;
}

TEST_F(CliParallelTest, TheExportOfEachShardHoldsItsSitesAddressesAndTogetherAllOfThem) {
    const std::string engines = site_engines(9, 2);
    const std::string keywords = write_gbk_lines("k.txt", {"kw"});
    const std::string all = (dir.path() / "all.txt").string();
    ASSERT_EQ(cli({"export", "--engines", engines, "--keywords", keywords, "--out", all}).status,
              0);
    std::multiset<std::string> joined;
    for (int k = 1; k <= 3; ++k) {
        const std::string out = (dir.path() / ("s" + std::to_string(k) + ".txt")).string();
        const ChildResult r = cli({"export", "--engines", engines, "--keywords", keywords, "--out",
                                   out, "--shard", std::to_string(k) + "/3"});
        ASSERT_EQ(r.status, 0) << r.err;
        for (const std::string& line : lines_of(read_file_bytes(out))) {
            EXPECT_EQ(shard_of_site(site_of_address(line), 3), k) << line;
            joined.insert(line);
        }
    }
    const std::vector<std::string> whole = lines_of(read_file_bytes(all));
    EXPECT_EQ(whole.size(), 18u);
    EXPECT_EQ(joined, std::multiset<std::string>(whole.begin(), whole.end()));
}

TEST_F(CliParallelTest, ShardsOfACheckInParallelCheckEveryEngineOnceAndUntickThemAll) {
    const std::string engines = site_engines(9, 2);
    std::vector<std::unique_ptr<ChildProcess>> shards;
    for (int k = 1; k <= 3; ++k)
        shards.push_back(std::make_unique<ChildProcess>(
            cli_path(),
            std::vector<std::string>{"check", "--engines", engines, "--keyword", "kw", "--journal",
                                     (dir.path() / "j.db").string(), "--parallel", "2", "--shard",
                                     std::to_string(k) + "/3", "--untick", "--report",
                                     (dir.path() / ("r" + std::to_string(k) + ".csv")).string()},
            dir.path()));
    std::set<std::string> checked;
    for (int k = 1; k <= 3; ++k) {
        ASSERT_EQ(shards[k - 1]->wait(), 0) << shards[k - 1]->err();
        std::vector<std::string> shown = lines_of(shards[k - 1]->out());
        ASSERT_FALSE(shown.empty());
        // The pages do not show the keyword: "【a.s3.localhost/e0】不显示关键词（状态码 200）".
        EXPECT_EQ(shown.back(),
                  "检测完成：0 个有效，" + std::to_string(shown.size() - 1) + " 个无效");
        shown.pop_back();
        for (const std::string& line : shown) {
            const std::string name = line.substr(3, line.find("】") - 3);
            EXPECT_EQ(shard_of_site(site_of_address(name), 3), k) << line;
            EXPECT_TRUE(checked.insert(name).second) << line;
        }
        // The report in list order (engine e, then site s), as a check one by one writes it;
        // the checks end in another order, for some shard holds three of the nine sites.
        std::vector<std::string> rows =
            lines_of(read_file_bytes(dir.path() / ("r" + std::to_string(k) + ".csv")));
        ASSERT_EQ(rows.size(), shown.size() + 1);
        std::vector<std::pair<int, int>> order;  // (e, s) of each row
        for (std::size_t i = 1; i < rows.size(); ++i) {
            const std::string name = rows[i].substr(0, rows[i].find(','));
            order.emplace_back(std::stoi(name.substr(name.find("/e") + 2)),
                               std::stoi(name.substr(3, name.find(".localhost") - 3)));
        }
        EXPECT_TRUE(std::is_sorted(order.begin(), order.end())) << rows[1] << rows.back();
    }
    EXPECT_EQ(checked.size(), 18u);
    // Each search page in both encodings (the same ASCII address), each host's robots.txt once.
    std::map<std::string, int> asked;
    for (const std::string& request : sites.requests()) ++asked[request];
    EXPECT_EQ(asked.size(), 18u + 18u);
    for (const auto& [request, count] : asked)
        EXPECT_EQ(count, request.ends_with("/robots.txt") ? 1 : 2) << request;
    EXPECT_EQ(sites.most_open_per_host(), 1);
    // The three shards saved the one list in turn: no shard's unticks lost to another's save.
    const std::vector<std::string> saved = lines_of(read_file_bytes(engines));
    ASSERT_EQ(saved.size(), 18u);
    for (const std::string& line : saved) EXPECT_TRUE(line.starts_with(local("假|"))) << line;
}

TEST_F(CliParallelTest, AShardWithoutASiteOfTheListRecordsARunWithoutVisits) {
    // s0 is in shard 1 of 3: shard 2 has no site of this list.
    const std::string engines = site_engines(1, 2);
    const std::string journal = (dir.path() / "j.db").string();
    const ChildResult r =
        cli({"run", "--engines", engines, "--keywords", write_gbk_lines("k.txt", {"kw"}), "--shard",
             "2/3", "--journal", journal});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("分片 2/3 中没有打勾的留痕引擎"), std::string::npos) << r.err;
    EXPECT_TRUE(sites.requests().empty());
    EXPECT_TRUE(report_rows({journal}).empty());
    EXPECT_TRUE(lines_of(cli({"runs", "--journal", journal}).out)[1].ends_with("\tfinished\t0\t0"));
}

}  // namespace
}  // namespace trasslo::support
