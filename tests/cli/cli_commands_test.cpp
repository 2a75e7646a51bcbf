// The other commands of trasslo-cli as a child process: `engines`, `test`, the help texts, the
// usage errors, and the defaults taken from the program folder when no file is named.
#include <filesystem>

#include "cli/cli_fixture.h"

namespace trasslo::support {
namespace {

using CliCommandsTest = CliTest;

TEST_F(CliCommandsTest, EnginesListsTickCodeTreeTextAndAddress) {
    const std::string engines = write_gbk_lines(
        "engines.txt", {engine_line(true, 0, "新浪搜索", "http://search.example.com/s?q={*}"),
                        engine_line(false, 1, "乙", "https://b.example.net:8443/x?w={*}"),
                        engine_line(true, 7, "空", "")});
    const ChildResult r = cli({"engines", "--engines", engines});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "真\t0\t新浪搜索(search.example.com)\thttp://search.example.com/s?q={*}\n"
              "假\t1\t乙(b.example.net:8443)\thttps://b.example.net:8443/x?w={*}\n"
              "真\t7\t空()\t\n");
}

TEST_F(CliCommandsTest, EngineFilesInOtherCharsetsAndWithLfLines) {
    const std::string lines = "真|1|甲|http://a.test/?q={*}\n假|0|乙|http://b.test/?q={*}\n";
    const std::string expected =
        "真\t1\t甲(a.test)\thttp://a.test/?q={*}\n假\t0\t乙(b.test)\thttp://b.test/?q={*}\n";
    // UTF-8 without and with mark, and UTF-16LE with mark (ASCII doubled with zero bytes, the
    // Chinese characters as their code units).
    std::string utf16 = "\xFF\xFE";
    for (char32_t c : U"真|1|甲|http://a.test/?q={*}\n假|0|乙|http://b.test/?q={*}\n") {
        utf16 += static_cast<char>(c & 0xFF);
        utf16 += static_cast<char>(c >> 8);
    }
    for (const std::string& bytes : {lines, "\xEF\xBB\xBF" + lines, utf16}) {
        const ChildResult r = cli({"engines", "--engines", write_bytes("engines.txt", bytes)});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, expected);
    }
}

TEST_F(CliCommandsTest, EngineLinesNotInTheFilesFormAreReadButWarnedAboutByNumber) {
    // LF line ends and UTF-8: the numbers are still those of the file's lines.
    const std::string engines = write_bytes("engines.txt",
                                            "真|0|甲|http://a.test/?q={*}\n"
                                            "真|0|乙\n"
                                            "\n"
                                            "是|1|丙|http://c.test/|x\n"
                                            "假|1|丁|\n");
    const ChildResult r = cli({"engines", "--engines", engines});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "真\t0\t甲(a.test)\thttp://a.test/?q={*}\n"
              "真\t0\t乙()\t\n"
              "假\t0\t()\t\n"
              "假\t1\t丙(c.test)\thttp://c.test/\n"
              "假\t1\t丁()\t\n");
    std::string expected;
    for (int line : {2, 3, 4})
        expected += "trasslo-cli：警告：留痕引擎列表 " + engines + " 第 " + std::to_string(line) +
                    " 行不是“真|编码|名称|地址”或“假|编码|名称|地址”的格式，仍照常读入\n";
    EXPECT_EQ(r.err, expected);
}

TEST_F(CliCommandsTest, TestVisitsTheAddressWithTheTestKeywordAndPrintsTheTitle) {
    const ChildResult gbk = cli({"test", server.url("/t?q={*}")});
    EXPECT_EQ(gbk.status, 0) << gbk.err;
    EXPECT_EQ(gbk.out, "page /t?q=%C1%F4%BA%DB%B2%E2%CA%D4\n");

    const ChildResult utf8 = cli({"test", "--utf8", server.url("/cn/t?q={*}")});
    EXPECT_EQ(utf8.status, 0) << utf8.err;
    EXPECT_EQ(utf8.out, "中文标题 /cn/t?q=%E7%95%99%E7%97%95%E6%B5%8B%E8%AF%95\n");
    EXPECT_EQ(targets(),
              (std::vector<std::string>{"/t?q=%C1%F4%BA%DB%B2%E2%CA%D4",
                                        "/cn/t?q=%E7%95%99%E7%97%95%E6%B5%8B%E8%AF%95"}));
}

TEST_F(CliCommandsTest, TestOfAFailingAddressPrintsTheReasonAndExitsWithOne) {
    const std::string dead = "http://127.0.0.1:" + std::to_string(unused_loopback_port());
    const ChildResult r = cli({"test", dead + "/?q={*}"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "（无法连接）\n");
}

TEST_F(CliCommandsTest, HelpForTheProgramAndEveryCommand) {
    struct Case {
        std::vector<std::string> args;
        std::string begins;
        std::vector<std::string> mentions;
    };
    const Case cases[] = {
        {{"--help"},
         "用法：trasslo-cli <命令>",
         {"run", "export", "test", "engines", "report", "runs", "import", "dedupe", "check",
          "stats", "where", "~/.local/share/trasslo", "130"}},
        {{"-h"}, "用法：trasslo-cli <命令>", {"run", "--version"}},
        {{"--version"}, "trasslo-cli 1.", {"\n"}},
        {{"run", "--help"},
         "用法：trasslo-cli run",
         {"--rounds", "--interval", "--keywords", "--journal", "--report", "--resume", "--parallel",
          "--shard"}},
        {{"help", "export"}, "用法：trasslo-cli export", {"--out", "--engines", "--shard"}},
        {{"test", "-h"}, "用法：trasslo-cli test", {"--utf8"}},
        {{"engines", "--help"}, "用法：trasslo-cli engines", {"--engines"}},
        {{"report", "--help"}, "用法：trasslo-cli report", {"--journal", "--all", "jsonl"}},
        {{"runs", "-h"}, "用法：trasslo-cli runs", {"--journal"}},
        {{"stats", "--help"}, "用法：trasslo-cli stats", {"--since", "--until", "trace_rate"}},
        {{"import", "--help"}, "用法：trasslo-cli import", {"--placeholder", "--dry-run", "{kw}"}},
        {{"help", "dedupe"}, "用法：trasslo-cli dedupe", {"--write"}},
        {{"where", "--help"}, "用法：trasslo-cli where", {"config", "journal"}},
        {{"help", "completion"}, "用法：trasslo-cli completion bash", {"source"}},
        {{"check", "--help"},
         "用法：trasslo-cli check",
         {"--keyword", "--untick", "--fix-encoding", "suggested_encoding", "robots 禁止",
          "--parallel", "--shard"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        const ChildResult r = cli(c.args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind(c.begins, 0), 0u) << r.out;
        for (const std::string& word : c.mentions)
            EXPECT_NE(r.out.find(word), std::string::npos) << word;
        EXPECT_EQ(r.err, "");
    }
}

// The completion script sourced in bash, asked for the words of a command line as Tab would.
TEST_F(CliCommandsTest, CompletionSourcedInBashCompletesCommandsAndTheirOptions) {
    struct Case {
        std::string line;  // the words before the cursor, the last one being completed
        std::string replies;
    };
    const Case cases[] = {
        {"ch", "check"},
        {"r", "run report runs"},
        {"help ex", "export"},
        {"run --par", "--parallel"},
        {"check --fix", "--fix-encoding"},
        {"import --d", "--dry-run"},
        {"export --out ", ""},  // a file name: bash's own completion
        {"test --e", ""},       // an option the command does not take
    };
    const std::string script = dir.str() + "/completion.bash";
    const ChildResult made = cli({"completion", "bash"});
    ASSERT_EQ(made.status, 0) << made.err;
    write_file_bytes(script, made.out);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const std::string program =
            "source '" + script + "'; read -ra COMP_WORDS <<< \"trasslo-cli " + c.line +
            "\"; [[ '" + c.line +
            "' == *' ' ]] && COMP_WORDS+=(''); "
            "COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _trasslo_cli; echo \"${COMPREPLY[*]}\"";
        const ChildResult r = run_child("bash", {"-c", program}, dir.path());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, c.replies + "\n");
    }
    EXPECT_EQ(cli({"completion", "zsh"}).status, 2);
}

TEST_F(CliCommandsTest, UsageErrorsExitWithTwoAndSayWhy) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"fly"},
        {"--help", "fly"},
        {"run", "--bogus"},
        {"run", "--rounds"},
        {"run", "--out", "x.txt"},
        {"run", "extra"},
        {"export"},
        {"export", "--out", ""},
        {"export", "--out", "x.txt", "--rounds", "2"},
        {"test"},
        {"test", "http://a.test/", "http://b.test/"},
        {"engines", "--keywords", "k.txt"},
        {"engines", "--engines="},
        {"run", "--report", "r.txt"},
        {"run", "--report", "r.csv.txt"},
        {"run", "--journal="},
        {"report", "--run", "1", "--all"},
        {"report", "--run", "x"},
        {"report", "--format", "xml"},
        {"stats", "--since", "2024-02-30"},
        {"stats", "--until", "2024-1-01"},
        {"stats", "--since", "2024-05-02", "--until", "2024-05-01"},
        {"stats", "--format", "html"},
        {"stats", "--run", "1"},
        {"runs", "--all"},
        {"import"},
        {"import", "a.txt", "--encoding", "big5"},
        {"import", "a.txt", "--placeholder"},
        {"import", "a.txt", "--placeholder="},
        {"import", "a.txt", "--write"},
        {"dedupe", "a.txt"},
        {"dedupe", "--write=yes"},
        {"check", "--keyword="},
        {"check", "--keyword", ""},
        {"check", "--rounds", "2"},
        {"run", "--parallel", "0"},
        {"run", "--parallel", "257"},
        {"run", "--parallel", "x"},
        {"run", "--parallel", "-3"},
        {"run", "--shard", "0/3"},
        {"run", "--shard", "4/3"},
        {"run", "--shard", "3"},
        {"export", "--out", "x.txt", "--shard", "1/0"},
        {"export", "--out", "x.txt", "--parallel", "2"},
        {"check", "--parallel", "0"},
        {"check", "--parallel", "257"},
        {"check", "--shard", "2/1"},
    };
    for (const std::vector<std::string>& args : cases) {
        std::string joined;
        for (const std::string& a : args) joined += a + " ";
        SCOPED_TRACE(joined);
        const ChildResult r = cli(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("trasslo-cli：", 0), 0u) << r.err;
        // The help of the command that was given, when there is one.
        const bool known = !args.empty() && args[0] != "fly" && args[0] != "--help";
        const std::string help =
            known ? "trasslo-cli " + args[0] + " --help" : "trasslo-cli --help";
        EXPECT_NE(r.err.find("请用 " + help + " 查看用法。"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "x.txt"));
    EXPECT_EQ(server.request_count(), 0u);
}

// A copy of the program in a folder of its own: the engine list file and the saved keyword list
// are looked for beside the executable, not in the working folder.
class CliProgramFolderTest : public CliTest {
  protected:
    std::filesystem::path program_folder = dir.path() / "program";
    std::filesystem::path work_folder = dir.path() / "work";
    std::filesystem::path program = program_folder / "trasslo-cli";

    void SetUp() override {
        std::filesystem::create_directories(program_folder);
        std::filesystem::create_directories(work_folder);
        std::filesystem::copy_file(cli_path(), program);
    }
    ChildResult copy_cli(const std::vector<std::string>& args) {
        return run_child(program, args, work_folder);
    }
    void write_in(const std::filesystem::path& file, const std::string& bytes) {
        std::filesystem::create_directories(file.parent_path());
        write_file_bytes(file, bytes);
    }
    std::filesystem::path engine_file() const { return program_folder / "留痕引擎列表.txt"; }
    std::filesystem::path settings_file() const { return program_folder / "Tandel·Trasslo.ini"; }
    std::filesystem::path saved_keywords() const {
        return program_folder / "inibin" / "主界面-编辑框关键词列表.ibn";
    }
};

TEST_F(CliProgramFolderTest, WithoutAnEngineFileTheEightDefaultsAreListed) {
    const ChildResult r = copy_cli({"engines"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = lines_of(r.out);
    ASSERT_EQ(lines.size(), 8u) << r.out;
    for (const std::string& line : lines) EXPECT_EQ(line.rfind("真\t", 0), 0u) << line;
    EXPECT_FALSE(std::filesystem::exists(engine_file()));  // listing creates nothing
    EXPECT_FALSE(std::filesystem::exists(settings_file()));
}

TEST_F(CliProgramFolderTest, WhereNamesTheWritableProgramFolderForEveryFile) {
    const ChildResult r = copy_cli({"where"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string folder = program_folder.string();
    EXPECT_EQ(r.out, "config\t" + folder + "\ndata\t" + folder + "\nsettings\t" +
                         settings_file().string() + "\nengines\t" + engine_file().string() +
                         "\njournal\t" + folder + "/留痕记录.db\nicons\t" + folder + "/图标缓存\n");
}

TEST_F(CliProgramFolderTest, TheProgramFoldersEngineFileIsUsed) {
    write_in(engine_file(), local(engine_line(true, 0, "甲", "http://a.test/?q={*}")) + "\r\n");
    // A file of the same name in the working folder is not looked at.
    write_in(work_folder / "留痕引擎列表.txt",
             local(engine_line(true, 0, "错", "http://wrong.test/?q={*}")) + "\r\n");
    const ChildResult r = copy_cli({"engines"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "真\t0\t甲(a.test)\thttp://a.test/?q={*}\n");
}

TEST_F(CliProgramFolderTest, ImportWithoutAListFileKeepsTheDefaultsTheWindowShows) {
    write_in(work_folder / "new.txt", "http://new.test/?q={*}\n");
    const ChildResult r = copy_cli({"import", "new.txt"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = lines_of(copy_cli({"engines"}).out);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[8], "真\t1\tnew.test(new.test)\thttp://new.test/?q={*}");
}

TEST_F(CliProgramFolderTest, KeywordsDefaultToTheSavedListElseTheDesignedSample) {
    write_in(engine_file(), local(engine_line(true, 0, "甲", "http://a.test/?q={*}")) + "\r\n");
    const std::string out = (work_folder / "out.txt").string();

    // Nothing saved: the keyword box's nine sample lines.
    ChildResult r = copy_cli({"export", "--out", out});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "导出完成！共 9 条外链地址！\n");
    const std::vector<std::string> lines = lines_of(read_file_bytes(out));
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0], "http://a.test/?q=%B9%D8%BC%FC%B4%CA1\r");
    EXPECT_FALSE(std::filesystem::exists(settings_file()));  // reading created nothing

    // What the main window saved: its settings file and the keyword list's binary value.
    write_in(settings_file(), "");
    write_in(saved_keywords(), local("保存的\r\nb"));
    r = copy_cli({"export", "--out", out});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_file_bytes(out),
              "http://a.test/?q=%B1%A3%B4%E6%B5%C4\r\nhttp://a.test/?q=b\r\n");
    EXPECT_EQ(read_file_bytes(settings_file()), "");  // left as it was
}

}  // namespace
}  // namespace trasslo::support
