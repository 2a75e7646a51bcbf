// `trasslo-cli import` and `dedupe` as a child process: what is appended and saved, the summary
// and the exit statuses, and the duplicate groups of a list.
#include <filesystem>

#include "cli/cli_fixture.h"

namespace trasslo::support {
namespace {

class CliImportTest : public CliTest {
  protected:
    std::string engines = write_gbk_lines(
        "engines.txt", {engine_line(false, 0, "新浪", "http://www.sina.com.cn/s?q={*}&c=1")});
    std::string list_before = read_file_bytes(engines);
};

TEST_F(CliImportTest, AppendsTheNewEnginesTickedAndSaysWhatItSkipped) {
    // UTF-8 with LF lines, and a GBK file with CR LF ones.
    const std::string first = write_bytes("first.txt",
                                          "http://a.test/s?q=%s\n"
                                          "https://sina.com.cn/s?c=1&q={kw}\n"
                                          "乙|http://a.test/s?q={*}#x\n"
                                          "# a comment\n"
                                          "ftp://b.test/?q={*}\n"
                                          "http://c.test/s?q=x\n"
                                          "http://d.test/?ie=gbk&q=<KW>\n");
    const std::string second = write_gbk_lines("second.txt", {"丙,http://e.test/s?w=[kw]"});
    const ChildResult r =
        cli({"import", first, second, "--engines", engines, "--placeholder", "<kw>"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "导入 3 个引擎；跳过 2 个重复，1 个无效，1 个没有关键词位置\n"
              "网页编码：1 个取自地址中的编码参数，2 个按默认的 UTF-8（可用 trasslo-cli check "
              "--fix-encoding 核对）\n" +
                  first + " 第 2 行：与留痕引擎列表第 1 行重复\n" + first +
                  " 第 3 行：与第 1 行重复\n" + first + " 第 5 行：不是 http 或 https 地址\n" +
                  first + " 第 6 行：没有关键词位置\n");
    EXPECT_EQ(read_file_bytes(engines),
              list_before + local("真|1|a.test|http://a.test/s?q={*}\r\n"
                                  "真|0|d.test|http://d.test/?ie=gbk&q={*}\r\n"
                                  "真|1|丙|http://e.test/s?w={*}\r\n"));

    // Again: nothing but duplicates, which is no failure, and the list stays as it is.
    const std::string saved = read_file_bytes(engines);
    const ChildResult again = cli({"import", second, "--engines", engines, "--encoding", "gbk"});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.err, "导入 0 个引擎；跳过 1 个重复，0 个无效，0 个没有关键词位置\n" + second +
                             " 第 1 行：与留痕引擎列表第 4 行重复\n");
    EXPECT_EQ(read_file_bytes(engines), saved);
}

TEST_F(CliImportTest, DryRunsFailuresAndANewListFile) {
    const std::string good = write_bytes("good.txt", "http://a.test/?q={*}\n");
    const std::string bad = write_bytes("bad.txt", "javascript:x({*})\nhttp://b.test/\n");
    const std::string fresh = (dir.path() / "new.txt").string();
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string list_after;  // of the --engines file
    };
    const Case cases[] = {
        {{"import", good, "--engines", engines, "--dry-run"}, 0, list_before},
        // Nothing but invalid lines.
        {{"import", bad, "--engines", engines}, 1, list_before},
        // An unreadable file stops the import before anything is written.
        {{"import", good, (dir.path() / "missing.txt").string(), "--engines", engines},
         2,
         list_before},
        {{"import", good, dir.str(), "--engines", engines}, 2, list_before},
        {{"import", good, "--engines", engines, "--encoding", "gbk"},
         0,
         list_before + "\xD5\xE6|0|a.test|http://a.test/?q={*}\r\n"},
        {{"import", good, "--engines", engines, "--encoding", "GB18030"},
         0,
         list_before + "\xD5\xE6|0|a.test|http://a.test/?q={*}\r\n"},
        {{"import", good, "--engines", engines, "--encoding", "UTF-8"},
         0,
         list_before + "\xD5\xE6|1|a.test|http://a.test/?q={*}\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[c.args.size() - 1]);
        write_bytes("engines.txt", list_before);
        const ChildResult r = cli(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(read_file_bytes(engines), c.list_after);
    }
    EXPECT_EQ(cli({"import", bad, "--engines", engines}).err,
              "导入 0 个引擎；跳过 0 个重复，1 个无效，1 个没有关键词位置\n" + bad +
                  " 第 1 行：不是 http 或 https 地址\n" + bad + " 第 2 行：没有关键词位置\n");
    write_bytes("engines.txt", list_before);
    EXPECT_EQ(
        cli({"import", good, "--engines", engines, "--dry-run"}).err.rfind("将导入 1 个引擎", 0),
        0u);
    // A list file that does not exist yet is made.
    EXPECT_EQ(cli({"import", good, "--engines", fresh}).status, 0);
    EXPECT_EQ(read_file_bytes(fresh), local("真|1|a.test|http://a.test/?q={*}\r\n"));
}

TEST_F(CliImportTest, DedupeListsTheGroupsAndRemovesOnlyWithWrite) {
    const std::string list =
        write_gbk_lines("list.txt", {engine_line(true, 0, "甲", "http://a.test/s?q={*}&c=1"),
                                     engine_line(true, 1, "乙", "http://b.test/?q={*}"),
                                     engine_line(false, 0, "甲2", "https://www.a.test/s?c=1&q=%s"),
                                     engine_line(true, 0, "乙2", "http://b.test:80/?q={*}#top"),
                                     engine_line(true, 0, "甲3", "http://A.test/s?q={*}&c=1")});
    const std::string before = read_file_bytes(list);
    const std::string groups =
        "保留\t1\t甲(a.test)\thttp://a.test/s?q={*}&c=1\n"
        "重复\t3\t甲2(www.a.test)\thttps://www.a.test/s?c=1&q=%s\n"
        "重复\t5\t甲3(A.test)\thttp://A.test/s?q={*}&c=1\n"
        "\n"
        "保留\t2\t乙(b.test)\thttp://b.test/?q={*}\n"
        "重复\t4\t乙2(b.test:80)\thttp://b.test:80/?q={*}#top\n";

    ChildResult r = cli({"dedupe", "--engines", list});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, groups);
    EXPECT_EQ(r.err, "2 组重复，共 3 个重复的引擎；加 --write 删除它们（每组保留第一个）\n");
    EXPECT_EQ(read_file_bytes(list), before);

    r = cli({"dedupe", "--engines", list, "--write"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, groups);
    EXPECT_EQ(r.err, "2 组重复，共 3 个重复的引擎，已删除并保存\n");
    EXPECT_EQ(read_file_bytes(list),
              local(engine_line(true, 0, "甲", "http://a.test/s?q={*}&c=1") + "\r\n" +
                    engine_line(true, 1, "乙", "http://b.test/?q={*}") + "\r\n"));

    r = cli({"dedupe", "--engines", list, "--write"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "没有重复的引擎\n");
}

}  // namespace
}  // namespace trasslo::support
