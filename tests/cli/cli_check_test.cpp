// `trasslo-cli check`: the lines and the closing count, the report, --untick changing only the
// ticks of checked engines that are not ok, and the exit statuses of a list with nothing to check.
#include "cli/cli_fixture.h"

#include <chrono>

namespace trasslo::support {
namespace {

class CliCheckTest : public CliTest {
  protected:
    std::string refused() const {
        return "http://127.0.0.1:" + std::to_string(unused_loopback_port()) + "/?q={*}";
    }
};

TEST_F(CliCheckTest, LinesReportAndUntickOfTheCheckedEnginesThatAreNotOk) {
    // The pages' titles repeat the request target, so an ASCII keyword is shown; robots.txt is
    // such a page too, without a rule.
    const std::string ok = server.url("/e1?q={*}");
    const std::string dead = refused();
    const std::vector<std::string> lines = {
        engine_line(true, 1, "甲", ok),
        engine_line(true, 0, "乙", dead),
        engine_line(false, 0, "丙", dead),
        engine_line(true, 7, "丁,\"引号\"", ok),
    };
    const std::string engines = write_gbk_lines("e.txt", lines);
    const std::string csv = (dir.path() / "r.csv").string();
    const ChildResult r = cli({"check", "--engines", engines, "--keyword", "trasslo", "--untick",
                               "--report", csv, "--journal", (dir.path() / "j.db").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "【甲】有效\n【乙】无法连接（没有应答）\n【丁,\"引号\"】有效\n"
              "检测完成：2 个有效，1 个无效\n");

    std::vector<std::string> expected = lines;
    expected[1] = engine_line(false, 0, "乙", dead);
    std::string bytes;
    for (const std::string& line : expected) bytes += local(line) + "\r\n";
    EXPECT_EQ(read_file_bytes(engines), bytes);

    const std::vector<std::string> rows = lines_of(read_file_bytes(csv));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0],
              "\xEF\xBB\xBF"
              "engine,address,verdict,status,final_address,charset,echoed,noindex,robots,"
              "suggested_encoding,elapsed_ms,title,proxy\r");
    EXPECT_TRUE(rows[1].starts_with("甲," + ok + ",ok,200," + server.url("/e1?q=trasslo") +
                                    ",gbk,1,0,allow,,"))
        << rows[1];
    EXPECT_TRUE(rows[1].ends_with(",page /e1?q=trasslo,\r")) << rows[1];
    EXPECT_TRUE(rows[2].starts_with("乙," + dead + ",unreachable,0,")) << rows[2];
    EXPECT_NE(rows[2].find(",,0,0,,,"), std::string::npos) << rows[2];
    EXPECT_TRUE(rows[3].starts_with("\"丁,\"\"引号\"\"\",")) << rows[3];
}

// A site that takes the request and never answers costs one attempt of --timeout, then its
// verdict; the run says the same of its visit.
TEST_F(CliCheckTest, AStalledSiteGetsOneAttemptWithinTheTimeoutThenItsVerdict) {
    HttpTestServer stalled([](Connection& c, const RecordedRequest&) { c.hold(); });
    const std::string engines =
        write_gbk_lines("e.txt", {engine_line(true, 0, "慢", stalled.url("/s?q={*}"))});
    const auto start = std::chrono::steady_clock::now();
    const ChildResult check = cli({"check", "--engines", engines, "--keyword", "k", "--timeout",
                                   "0.3", "--journal", (dir.path() / "j.db").string()});
    EXPECT_EQ(check.status, 0) << check.err;
    EXPECT_EQ(check.out, "【慢】超时（超过时限）\n检测完成：0 个有效，1 个无效\n");
    EXPECT_EQ(stalled.request_count(), 1u);

    const ChildResult run =
        cli({"run", "--engines", engines, "--keywords", write_bytes("k.txt", "k\n"), "--timeout",
             "0.3", "--journal", (dir.path() / "j.db").string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.out.starts_with("(1:1) 【慢】（超时）\n")) << run.out;
    EXPECT_EQ(stalled.request_count(), 2u);
    // Without the timeout either would take minutes.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));

    for (const char* bad : {"0", "-1", "abc", "4000"}) {
        const ChildResult r = cli({"check", "--engines", engines, "--timeout", bad});
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find("--timeout"), std::string::npos) << r.err;
    }
}

TEST_F(CliCheckTest, NothingToCheckExitsWithOne) {
    const std::string unticked =
        write_gbk_lines("e.txt", {engine_line(false, 0, "甲", server.url("/?q={*}"))});
    const std::string empty = write_bytes("empty.txt", "");
    const std::vector<std::vector<std::string>> cases = {
        {"check", "--engines", unticked},
        {"check", "--engines", empty, "--all"},
    };
    for (const std::vector<std::string>& args : cases) {
        SCOPED_TRACE(args.back());
        const ChildResult r = cli(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("trasslo-cli：", 0), 0u) << r.err;
    }
    EXPECT_EQ(server.request_count(), 0u);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "留痕记录.db"));
}

}  // namespace
}  // namespace trasslo::support
