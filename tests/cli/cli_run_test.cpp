// `trasslo-cli run` as a child process against a loopback server: the visits, the status lines,
// the final message, the no-engine answer, and SIGINT / SIGTERM as the stop button.
#include <signal.h>

#include <algorithm>
#include <chrono>

#include "cli/cli_fixture.h"

namespace trasslo::support {
namespace {

class CliRunTest : public CliTest {
  protected:
    std::string three_ticked_engines() {
        return write_gbk_lines("engines.txt",
                               {engine_line(true, 0, "甲", server.url("/e1?q={*}")),
                                engine_line(false, 0, "关", server.url("/off?q={*}")),
                                engine_line(true, 1, "乙", server.url("/cn/e2?q={*}")),
                                engine_line(true, 0, "丙", server.url("/e3?q={*}"))});
    }
};

bool starts_with(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

// The last two lines: "留痕完成！本次使用 <duration> 在目标网站上留下了 N 个痕迹！" with any
// duration ("留痕已停止！" after a stop), then "其中 E 个页面显示了关键词".
void expect_final_message(const std::vector<std::string>& lines, int traces, int echoed,
                          bool stopped = false) {
    ASSERT_GE(lines.size(), 2u);
    const std::string& line = lines[lines.size() - 2];
    EXPECT_TRUE(starts_with(line, stopped ? "留痕已停止！本次使用 " : "留痕完成！本次使用 "))
        << line;
    const std::string tail = " 在目标网站上留下了 " + std::to_string(traces) + " 个痕迹！";
    EXPECT_TRUE(line.size() > tail.size() && line.ends_with(tail)) << line;
    EXPECT_EQ(lines.back(), "其中 " + std::to_string(echoed) + " 个页面显示了关键词");
}

TEST_F(CliRunTest, TwoKeywordsThreeEnginesTwoRoundsPrintTwelveStatusLinesThenTheReport) {
    const std::string keywords = write_gbk_lines("keywords.txt", {"a", "中文"});
    const ChildResult r =
        cli({"run", "--engines", three_ticked_engines(), "--keywords", keywords, "--rounds", "2"});

    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");  // no progress bar when standard error is no terminal
    std::vector<std::string> expected;
    std::vector<std::string> expected_targets;
    for (int round = 0; round < 2; ++round) {
        expected.push_back("(2:1) 【甲】page /e1?q=a");
        expected.push_back("(2:1) 【乙】中文标题 /cn/e2?q=a");
        expected.push_back("(2:1) 【丙】page /e3?q=a");
        expected.push_back("(2:2) 【甲】page /e1?q=%D6%D0%CE%C4");
        expected.push_back("(2:2) 【乙】中文标题 /cn/e2?q=%E4%B8%AD%E6%96%87");
        expected.push_back("(2:2) 【丙】page /e3?q=%D6%D0%CE%C4");
        expected_targets.insert(expected_targets.end(),
                                {"/e1?q=a", "/cn/e2?q=a", "/e3?q=a", "/e1?q=%D6%D0%CE%C4",
                                 "/cn/e2?q=%E4%B8%AD%E6%96%87", "/e3?q=%D6%D0%CE%C4"});
    }
    std::vector<std::string> lines = lines_of(r.out);
    ASSERT_EQ(lines.size(), 14u) << r.out;
    expect_final_message(lines, 12, 8);  // "a" everywhere, "中文" on 乙 (its title)
    lines.resize(12);
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(targets(), expected_targets);
}

// A keyword file's blank lines are skipped, a file that is no text is refused (2) and a list
// without a keyword ends the run as the one without a ticked engine does (1).
TEST_F(CliRunTest, KeywordFilesSkipBlankLinesAndRefuseWhatIsNoText) {
    const std::string engines =
        write_gbk_lines("engines.txt", {engine_line(true, 0, "甲", server.url("/e1?q={*}"))});
    struct Case {
        std::string bytes;
        int status;
        std::vector<std::string> targets;
        std::string err;  // how standard error begins
    };
    const Case cases[] = {
        {"x\n\n  \ny\n", 0, {"/e1?q=x", "/e1?q=y"}, ""},
        {"", 1, {}, "trasslo-cli：没有关键词\n"},
        {"\r\n \n\t\n", 1, {}, "trasslo-cli：没有关键词\n"},
        {std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\x01\0", 20),
         2,
         {},
         "trasslo-cli：关键词文件"},
        {"\x01\x02\x03\x04k\x05\x06\n", 2, {}, "trasslo-cli：关键词文件"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        const std::size_t before = targets().size();
        const ChildResult r = cli({"run", "--engines", engines, "--keywords",
                                   write_bytes("keywords.txt", c.bytes), "--journal", "j.db"});
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
        const std::vector<std::string> seen = targets();
        EXPECT_EQ(std::vector<std::string>(seen.begin() + static_cast<long>(before), seen.end()),
                  c.targets);
    }
}

TEST_F(CliRunTest, UnreachableSiteShowsTheReasonAndIsNoTrace) {
    const std::string dead = "http://127.0.0.1:" + std::to_string(unused_loopback_port());
    const std::string engines =
        write_gbk_lines("engines.txt", {engine_line(true, 0, "死", dead + "/?q={*}")});
    const ChildResult r =
        cli({"run", "--engines", engines, "--keywords", write_bytes("k.txt", "k\n")});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = lines_of(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_EQ(lines[0], "(1:1) 【死】（无法连接）");
    expect_final_message(lines, 0, 0);
}

TEST_F(CliRunTest, NoTickedEngineIsAFailureSaidOnStandardErrorWithoutARun) {
    const std::string keywords = write_bytes("k.txt", "a\nb\n");
    // Nothing ticked, or no engine at all: nothing asked, no "留痕完成", no visit.
    for (const std::string& engines :
         {write_gbk_lines("engines.txt", {engine_line(false, 0, "甲", server.url("/e1?q={*}"))}),
          write_bytes("empty.txt", "")}) {
        SCOPED_TRACE(engines);
        const ChildResult r =
            cli({"run", "--engines", engines, "--keywords", keywords, "--rounds", "3"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "trasslo-cli：没有打勾的留痕引擎\n");
        EXPECT_EQ(r.out, "");
    }
    EXPECT_TRUE(targets().empty());
}

TEST_F(CliRunTest, RoundsAndIntervalAreReadLikeTheWindowsEditBoxesAndOddValuesAreNamed) {
    const std::string engines =
        write_gbk_lines("engines.txt", {engine_line(true, 0, "甲", server.url("/e1?q={*}"))});
    const std::string keywords = write_bytes("k.txt", "a\n");
    auto rounds_warning = [](const std::string& given, int used) {
        return "trasslo-cli：警告：--rounds 的值“" + given + "”不是正整数，按 " +
               std::to_string(used) + " 轮留痕\n";
    };
    auto interval_warning = [](const std::string& given, const std::string& used) {
        return "trasslo-cli：警告：--interval 的值“" + given + "”不是非负的秒数，按间隔 " + used +
               " 秒留痕\n";
    };
    struct Case {
        std::string rounds;
        std::string interval;
        int visits;  // one keyword: one visit a round
        std::string err;
    };
    // Not a number, zero and negative counts run one round; a bad interval means no pause.
    const Case cases[] = {
        {"2", "0.0", 2, ""},
        {"abc", "soon", 1, rounds_warning("abc", 1) + interval_warning("soon", "0")},
        {"0", "0", 1, rounds_warning("0", 1)},
        {"-2", "-1", 1, rounds_warning("-2", 1) + interval_warning("-1", "0")},
        {"", "", 1, rounds_warning("", 1) + interval_warning("", "0")},
        {"3x", "0.001x", 3, rounds_warning("3x", 3) + interval_warning("0.001x", "0.001")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rounds + " " + c.interval);
        const std::size_t before = server.request_count();
        const ChildResult r = cli({"run", "--engines", engines, "--keywords", keywords,
                                   "--rounds=" + c.rounds, "--interval", c.interval});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(server.request_count() - before, static_cast<std::size_t>(c.visits));
        ASSERT_EQ(lines_of(r.out).size(), static_cast<std::size_t>(c.visits) + 2) << r.out;
        expect_final_message(lines_of(r.out), c.visits, c.visits);
    }
}

class CliStopTest : public CliRunTest, public ::testing::WithParamInterface<int> {};

TEST_P(CliStopTest, SignalDuringThePauseEndsTheRunWithTheReportAndStatus130) {
    const std::string engines =
        write_gbk_lines("engines.txt", {engine_line(true, 0, "甲", server.url("/e1?q={*}")),
                                        engine_line(true, 0, "乙", server.url("/e2?q={*}"))});
    // A pause of an hour after every visit: only the signal can end it.
    ChildProcess child(cli_path(),
                       {"run", "--engines", engines, "--keywords", write_bytes("k.txt", "a\nb\n"),
                        "--rounds", "5", "--interval", "3600"},
                       dir.path());
    ASSERT_TRUE(child.wait_until([](const std::string& out, const std::string&) {
        return out.find('\n') != out.npos;
    })) << child.out()
        << child.err();
    child.send_signal(GetParam());
    const int status = child.wait();

    EXPECT_EQ(status, 130) << child.err();
    const std::vector<std::string> lines = lines_of(child.out());
    ASSERT_EQ(lines.size(), 3u) << child.out();
    EXPECT_EQ(lines[0], "(2:1) 【甲】page /e1?q=a");
    expect_final_message(lines, 1, 1, /*stopped=*/true);
    EXPECT_EQ(targets(), std::vector<std::string>{"/e1?q=a"});
    // The stop is no missing engine: nothing is asked.
    EXPECT_EQ(child.err(), "");
}

TEST_P(CliStopTest, SignalDuringAStalledVisitGivesItUpAndEndsWithin2Seconds) {
    // A site that takes the request and never answers: the visit is given up at the request's
    // next poll, makes no second attempt and is not counted.
    HttpTestServer stalled([](Connection& c, const RecordedRequest&) { c.hold(); });
    const std::string engines =
        write_gbk_lines("engines.txt", {engine_line(true, 0, "慢", stalled.url("/s?q={*}")),
                                        engine_line(true, 0, "乙", stalled.url("/t?q={*}"))});
    ChildProcess child(
        cli_path(),
        {"run", "--engines", engines, "--keywords", write_bytes("k.txt", "a\n"), "--rounds", "9"},
        dir.path());
    for (int i = 0; i < 6000 && stalled.request_count() == 0; ++i)
        child.wait_until([](const std::string&, const std::string&) { return false; },
                         std::chrono::milliseconds(10));
    ASSERT_EQ(stalled.request_count(), 1u);
    const auto signalled = std::chrono::steady_clock::now();
    child.send_signal(GetParam());
    const int status = child.wait();
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(2));
    EXPECT_EQ(status, 130) << child.err();
    const std::vector<std::string> lines = lines_of(child.out());
    ASSERT_EQ(lines.size(), 2u) << child.out();
    expect_final_message(lines, 0, 0, /*stopped=*/true);
    EXPECT_EQ(stalled.connection_count(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Signals, CliStopTest, ::testing::Values(SIGINT, SIGTERM),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == SIGINT ? "Sigint" : "Sigterm");
                         });

TEST_F(CliRunTest, ProgressBarWithTheRoundOnlyWhenStandardErrorIsATerminal) {
    const std::string engines =
        write_gbk_lines("engines.txt", {engine_line(true, 0, "甲", server.url("/e1?q={*}"))});
    ChildProcess child(cli_path(),
                       {"run", "--engines", engines, "--keywords", write_bytes("k.txt", "a\nb\n"),
                        "--rounds", "2"},
                       dir.path(), {}, false, /*error_on_terminal=*/true);
    const int status = child.wait();
    EXPECT_EQ(status, 0) << child.err();
    // The bar is redrawn in place on the terminal and wiped before the status lines go out.
    EXPECT_NE(child.err().find("\r[###############...............] 1/2 第 1/2 轮\x1b[K"),
              std::string::npos)
        << child.err();
    EXPECT_NE(child.err().find("\r[##############################] 2/2 第 1/2 轮\x1b[K"),
              std::string::npos)
        << child.err();
    EXPECT_NE(child.err().find("\r[###############...............] 1/2 第 2/2 轮\x1b[K"),
              std::string::npos)
        << child.err();
    EXPECT_TRUE(child.err().ends_with("\r\x1b[K")) << child.err();
    // Standard output is the same as without a terminal.
    const std::vector<std::string> lines = lines_of(child.out());
    ASSERT_EQ(lines.size(), 6u) << child.out();
    EXPECT_EQ(lines[0], "(2:1) 【甲】page /e1?q=a");
    EXPECT_EQ(lines[1], "(2:2) 【甲】page /e1?q=b");
    EXPECT_EQ(lines[2], "(2:1) 【甲】page /e1?q=a");
}

}  // namespace
}  // namespace trasslo::support
