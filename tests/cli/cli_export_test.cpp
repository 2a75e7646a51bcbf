// `trasslo-cli export` as a child process: the file's bytes, the message, files that cannot be
// written, and the keyword input in the charsets and line ends people's files come in.
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "cli/cli_fixture.h"

namespace trasslo::support {
namespace {

class CliExportTest : public CliTest {
  protected:
    std::string out_file = (dir.path() / "out.txt").string();
    std::string engines =
        write_gbk_lines("engines.txt", {engine_line(true, 0, "A", "http://a.test/s?q={*}"),
                                        engine_line(false, 0, "off", "http://off.test/?q={*}"),
                                        engine_line(true, 1, "B", "http://b.test/s?w={*}")});

    ChildResult export_keywords(const std::string& keywords_file, std::string input = {}) {
        return cli({"export", "--engines", engines, "--keywords", keywords_file, "--out", out_file},
                   std::move(input));
    }
};

// The export file for keywords "a" and "中文" with engines A (GBK) and B (UTF-8).
const std::string a_and_chinese =
    "http://a.test/s?q=a\r\n"
    "http://b.test/s?w=a\r\n"
    "http://a.test/s?q=%D6%D0%CE%C4\r\n"
    "http://b.test/s?w=%E4%B8%AD%E6%96%87\r\n";

// A keyword with characters GBK lacks, from a UTF-8 file: the UTF-8 engine's address carries
// exactly what was typed, the GBK one's no reference text.
TEST_F(CliExportTest, CharactersGbkLacksReachTheUtf8EnginesAddressWhole) {
    const ChildResult r = export_keywords(write_bytes("k.txt", "한국어 😀\n"));
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string file = read_file_bytes(out_file);
    EXPECT_NE(file.find("http://b.test/s?w=%ED%95%9C%EA%B5%AD%EC%96%B4%20%F0%9F%98%80\r\n"),
              std::string::npos)
        << file;
    EXPECT_EQ(file.find("%26%23"), std::string::npos) << file;
}

TEST_F(CliExportTest, WritesTheAddressesAndPrintsTheCount) {
    const ChildResult r = export_keywords(write_gbk_lines("k.txt", {"a", "中文"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "导出完成！共 4 条外链地址！\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(read_file_bytes(out_file), a_and_chinese);
}

TEST_F(CliExportTest, TemplateTextIsWrittenAsGbk) {
    const std::string gbk_engines =
        write_gbk_lines("cn.txt", {engine_line(true, 1, "中", "http://a.test/搜索?q={*}")});
    const ChildResult r = cli({"export", "--engines", gbk_engines, "--keywords",
                               write_bytes("k.txt", "k\n"), "--out", out_file});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file_bytes(out_file), "http://a.test/\xCB\xD1\xCB\xF7?q=k\r\n");
}

TEST_F(CliExportTest, KeywordFilesInAnyCharsetAndLineEnd) {
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"GBK, CR LF", "a\r\n\xD6\xD0\xCE\xC4\r\n"},
        {"GBK, LF alone, no final break", "a\n\xD6\xD0\xCE\xC4"},
        {"UTF-8 without mark", "a\n中文\n"},
        {"UTF-8 with mark",
         "\xEF\xBB\xBF"
         "a\r\n中文\r\n"},
        {"UTF-16LE with mark", std::string("\xFF\xFE"
                                           "a\0\r\0\n\0\x2D\x4E\x87\x65\r\0\n\0",
                                           16)},
        {"UTF-16BE with mark", std::string("\xFE\xFF\0a\0\n\x4E\x2D\x65\x87\0\n", 12)},
        {"UTF-16LE without mark", std::string("a\0\r\0\n\0\x2D\x4E\x87\x65\r\0\n\0", 14)},
        {"UTF-16BE without mark", std::string("\0a\0\n\x4E\x2D\x65\x87\0\n", 10)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ChildResult r = export_keywords(write_bytes("k.txt", c.bytes));
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(read_file_bytes(out_file), a_and_chinese);
    }
}

TEST_F(CliExportTest, BlankLinesAreSkippedWhateverTheLineEnd) {
    const ChildResult r = export_keywords(write_bytes("k.txt", "x\n\r\n \t\ny\n"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "导出完成！共 4 条外链地址！\n");
    EXPECT_EQ(read_file_bytes(out_file),
              "http://a.test/s?q=x\r\nhttp://b.test/s?w=x\r\n"
              "http://a.test/s?q=y\r\nhttp://b.test/s?w=y\r\n");
}

TEST_F(CliExportTest, KeywordsFromStandardInput) {
    const ChildResult r = export_keywords("-", "a\n中文\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file_bytes(out_file), a_and_chinese);

    // Nothing on standard input: no keyword, an empty file.
    const ChildResult empty = export_keywords("-");
    EXPECT_EQ(empty.status, 0) << empty.err;
    EXPECT_EQ(empty.out, "导出完成！共 0 条外链地址！\n");
    EXPECT_EQ(read_file_bytes(out_file), "");
}

TEST_F(CliExportTest, ReplacesAnExistingFile) {
    write_file_bytes(out_file, std::string(10000, 'x'));
    const ChildResult r = export_keywords(write_bytes("k.txt", "a\n中文\n"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file_bytes(out_file), a_and_chinese);
}

TEST_F(CliExportTest, UnwritableOutputFailsNamingThePathAndTheReason) {
    const std::string keywords = write_bytes("k.txt", "a\n");
    // The reason in Chinese, whatever the system's language.
    struct Case {
        std::string path;
        std::string reason;
    };
    std::vector<Case> cases = {
        {(dir.path() / "missing" / "out.txt").string(), "文件或文件夹不存在"},
        {dir.path().string(), "这是一个文件夹，不是文件"}};
    if (std::filesystem::exists("/dev/full"))
        cases.push_back({"/dev/full", "磁盘空间不足"});  // full disk
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const ChildResult r =
            cli({"export", "--engines", engines, "--keywords", keywords, "--out", c.path});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "trasslo-cli：无法写出文件 " + c.path + "：" + c.reason + "\n");
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));
}

TEST_F(CliExportTest, UnreadableInputIsAUsageFailureAndWritesNothing) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"export", "--engines", engines, "--keywords",
                                   (dir.path() / "none.txt").string(), "--out", out_file},
          std::vector<std::string>{"export", "--engines", (dir.path() / "none.txt").string(),
                                   "--keywords", engines, "--out", out_file},
          std::vector<std::string>{"export", "--engines", engines, "--keywords",
                                   dir.path().string(), "--out", out_file}}) {
        SCOPED_TRACE(args[2] + " " + args[4]);
        const ChildResult r = cli(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("无法读取"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_FALSE(std::filesystem::exists(out_file));
    }
}

}  // namespace
}  // namespace trasslo::support
