// The journal from the command line: a run recorded and reported, the runs listed, reports of
// one run or all in both formats, a stopped run resumed, and a journal that cannot be kept.
#include <signal.h>

#include <atomic>

#include "cli/cli_fixture.h"

namespace trasslo::support {
namespace {

class CliJournalTest : public CliTest {
  protected:
    std::string journal = (dir.path() / "j.db").string();
    std::string engines() {
        return write_gbk_lines("engines.txt",
                               {engine_line(true, 0, "甲", server.url("/e1?q={*}")),
                                engine_line(true, 1, "乙", server.url("/cn/e2?q={*}"))});
    }
    std::string keywords() { return write_gbk_lines("k.txt", {"a", "中文"}); }
};

TEST_F(CliJournalTest, ARunIsRecordedListedAndReported) {
    const std::string csv = (dir.path() / "r.csv").string();
    const ChildResult run = cli({"run", "--engines", engines(), "--keywords", keywords(),
                                 "--journal", journal, "--report", csv});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");

    const std::string report = read_file_bytes(csv);
    const std::vector<std::string> rows = lines_of(report);
    ASSERT_EQ(rows.size(), 5u) << report;
    EXPECT_EQ(rows[0],
              "\xEF\xBB\xBFrun,round,keyword,engine,address,status,final_address,attempts,"
              "elapsed_ms,bytes,charset,title,echoed,noindex,error,proxy\r");
    EXPECT_TRUE(
        rows[4].starts_with("1,1,中文,乙," + server.url("/cn/e2?q=%E4%B8%AD%E6%96%87") + ",200,"))
        << rows[4];
    EXPECT_TRUE(rows[4].ends_with(",utf-8,中文标题 /cn/e2?q=%E4%B8%AD%E6%96%87,1,0,,\r"))
        << rows[4];
    // The same report from the journal, on standard output.
    EXPECT_EQ(cli({"report", "--journal", journal}).out, report);

    const ChildResult runs = cli({"runs", "--journal", journal});
    EXPECT_EQ(runs.status, 0) << runs.err;
    const std::vector<std::string> listed = lines_of(runs.out);
    ASSERT_EQ(listed.size(), 2u) << runs.out;
    EXPECT_EQ(listed[0], "id\tstarted\tsource\tstate\tvisits\techoed");
    EXPECT_TRUE(listed[1].starts_with("1\t20")) << listed[1];
    // Every title but the first GBK one shows its keyword ("page" holds an "a").
    EXPECT_TRUE(listed[1].ends_with("\tcli\tfinished\t4\t3")) << listed[1];

    // The statistics of that run, engines in the list's order, and nothing before a later day.
    const std::vector<std::string> stats = lines_of(cli({"stats", "--journal", journal}).out);
    ASSERT_EQ(stats.size(), 3u);
    EXPECT_TRUE(stats[0].ends_with(",last_visit,last_trace,trace_rate\r")) << stats[0];
    EXPECT_TRUE(stats[1].starts_with("甲," + server.url("/e1?q={*}") + ",2,2,1,0,,20")) << stats[1];
    EXPECT_TRUE(stats[2].starts_with("乙," + server.url("/cn/e2?q={*}") + ",2,2,2,0,,20"))
        << stats[2];
    EXPECT_TRUE(stats[2].ends_with(",1.000\r")) << stats[2];
    EXPECT_EQ(lines_of(cli({"stats", "--journal", journal, "--since", "2999-01-01"}).out).size(),
              1u);
}

TEST_F(CliJournalTest, ReportsOfOneRunOrAllAndAnUnknownRun) {
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(
            cli({"run", "--engines", engines(), "--keywords", keywords(), "--journal", journal})
                .status,
            0);
    // The extension of --out decides the format, its letters in either case.
    const std::string out = (dir.path() / "all.JSONL").string();
    const ChildResult all = cli({"report", "--journal", journal, "--all", "--out", out});
    EXPECT_EQ(all.status, 0) << all.err;
    const std::vector<std::string> objects = lines_of(read_file_bytes(out));
    ASSERT_EQ(objects.size(), 8u);
    EXPECT_TRUE(objects[0].starts_with("{\"run\":1,\"round\":1,\"keyword\":\"a\",")) << objects[0];
    EXPECT_TRUE(objects[7].starts_with("{\"run\":2,")) << objects[7];
    EXPECT_NE(objects[7].find("\"echoed\":true,\"noindex\":false,\"error\":\"\",\"proxy\":\"\"}"),
              std::string::npos);
    // --format wins over the extension.
    const std::string csv_out = (dir.path() / "x.jsonl").string();
    ASSERT_EQ(cli({"report", "--journal", journal, "--format", "csv", "--out", csv_out}).status, 0);
    EXPECT_TRUE(read_file_bytes(csv_out).starts_with("\xEF\xBB\xBFrun,"));
    // Two journals read as one: here the same one twice, each with its latest run, every row
    // naming the journal it came from.
    const std::vector<std::string> joined =
        lines_of(cli({"report", "--journal", journal, "--journal", journal}).out);
    ASSERT_EQ(joined.size(), 9u);
    EXPECT_TRUE(joined[0].ends_with(",error,proxy,journal\r")) << joined[0];
    EXPECT_TRUE(joined[8].ends_with(",0,,," + journal + "\r")) << joined[8];
    const std::vector<std::string> joined_objects = lines_of(
        cli({"report", "--journal", journal, "--journal", journal, "--format", "jsonl"}).out);
    ASSERT_EQ(joined_objects.size(), 8u);
    EXPECT_TRUE(joined_objects[0].ends_with(",\"journal\":\"" + journal + "\"}"))
        << joined_objects[0];
    EXPECT_EQ(lines_of(cli({"report", "--journal", journal, "--run", "1"}).out).size(), 5u);

    const ChildResult unknown = cli({"report", "--journal", journal, "--run", "7"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.out, "");
    EXPECT_NE(unknown.err.find("有：1, 2"), std::string::npos) << unknown.err;
    // A journal that is not there, said in Chinese.
    const std::string missing = (dir.path() / "missing.db").string();
    EXPECT_EQ(cli({"report", "--journal", missing}).err,
              "trasslo-cli：无法打开留痕记录 " + missing + "：文件或文件夹不存在\n");
}

TEST_F(CliJournalTest, AStoppedRunIsResumedWithItsInputsOnceAndThenThereIsNothingToResume) {
    // The second engine's site holds its first request until the run is stopped.
    std::atomic<bool> held{false};
    HttpTestServer slow([&held](Connection& c, const RecordedRequest& request) {
        if (!held.exchange(true)) return c.hold();
        c.send(http_reply(200, "OK", "<title>slow " + request.target + "</title>"));
    });
    const std::string list =
        write_gbk_lines("engines.txt", {engine_line(true, 0, "甲", server.url("/e1?q={*}")),
                                        engine_line(true, 0, "慢", slow.url("/s?q={*}"))});
    ChildProcess child(cli_path(),
                       {"run", "--engines", list, "--keywords", keywords(), "--journal", journal},
                       dir.path());
    ASSERT_TRUE(child.wait_until(
        [](const std::string& out, const std::string&) { return out.find('\n') != out.npos; }));
    for (int i = 0; i < 500 && slow.request_count() == 0; ++i)
        child.wait_until([](const std::string&, const std::string&) { return false; },
                         std::chrono::milliseconds(10));
    child.send_signal(SIGINT);
    ASSERT_EQ(child.wait(), 130) << child.err();

    // Other files given now are not what the run was planned with.
    const ChildResult resumed =
        cli({"run", "--resume", "--journal", journal, "--engines", write_bytes("none.txt", "")});
    EXPECT_EQ(resumed.status, 0) << resumed.err;
    const std::vector<std::string> lines = lines_of(resumed.out);
    ASSERT_EQ(lines.size(), 5u) << resumed.out;  // three visits and the final two lines
    EXPECT_EQ(lines[0], "(2:1) 【慢】slow /s?q=a");
    EXPECT_EQ(lines[1], "(2:2) 【甲】page /e1?q=%D6%D0%CE%C4");
    EXPECT_EQ(lines[2], "(2:2) 【慢】slow /s?q=%D6%D0%CE%C4");
    const std::vector<std::string> report = lines_of(cli({"report", "--journal", journal}).out);
    EXPECT_EQ(report.size(), 5u);
    EXPECT_TRUE(lines_of(cli({"runs", "--journal", journal}).out)[1].ends_with("\tfinished\t4\t2"));

    const ChildResult again = cli({"run", "--resume", "--journal", journal});
    EXPECT_EQ(again.status, 2);
    EXPECT_NE(again.err.find("没有未完成的留痕"), std::string::npos) << again.err;
}

TEST_F(CliJournalTest, AJournalThatCannotBeKeptIsSaidOnceAndTheRunAndItsReportGoOn) {
    std::filesystem::create_directories(journal);  // a folder where the file should be
    const std::string csv = (dir.path() / "r.csv").string();
    const ChildResult r = cli({"run", "--engines", engines(), "--keywords", keywords(), "--journal",
                               journal, "--report", csv});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines_of(r.out).size(), 6u);
    const std::vector<std::string> said = lines_of(r.err);
    ASSERT_EQ(said.size(), 1u) << r.err;
    EXPECT_TRUE(said[0].starts_with("trasslo-cli：本次留痕不做记录：")) << said[0];
    EXPECT_EQ(lines_of(read_file_bytes(csv)).size(), 5u);
}

// A file named as the journal that is no SQLite database (an engine list, say) is refused and
// left as it is, for every command that takes --journal.
TEST_F(CliJournalTest, AFileThatIsNoJournalIsRefusedAndLeftAlone) {
    const std::string list = engines();
    const std::string before = read_file_bytes(list);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"run", "--engines", list, "--keywords", keywords(), "--journal", list},
             {"runs", "--journal", list},
             {"check", "--engines", list, "--journal", list}}) {
        SCOPED_TRACE(args.front());
        const ChildResult r = cli(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("不是留痕记录"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(read_file_bytes(list), before);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().string().find("损坏"), std::string::npos) << entry.path();
}

}  // namespace
}  // namespace trasslo::support
