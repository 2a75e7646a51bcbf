// The settings file format, the held file, the write queue and the binary value files, on real
// files in temporary folders.
#include "settings/settings_store.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <random>

#include "base/event_pump.h"
#include "support/temp_dir.h"
#include "support/test_hooks.h"

namespace trasslo {
namespace {

using support::read_file_bytes;
using support::TempDir;
using support::write_file_bytes;

class SettingsFile : public ::testing::Test {
  protected:
    std::filesystem::path file() const { return dir.path() / "settings.ini"; }
    std::string on_disk() const { return read_file_bytes(file()); }
    void open_with(const std::string& bytes, std::string_view section) {
        write_file_bytes(file(), bytes);
        ASSERT_TRUE(store.open(file()));
        store.set_section(local(section));
    }

    TempDir dir;
    SettingsStore store;
};

// ---- the file format ----

TEST_F(SettingsFile, FreshFileHoldsNewestKeyFirstAndNoTrailingBreak) {
    ASSERT_TRUE(store.open(file()));
    EXPECT_TRUE(std::filesystem::exists(file()));
    EXPECT_EQ(on_disk(), "");
    store.set_section(local("主界面"));
    EXPECT_TRUE(store.write_text("A", "1"));
    EXPECT_TRUE(store.write_text("B", "2"));
    EXPECT_EQ(on_disk(), local("[主界面]") + "\r\nB=2\r\nA=1");
    EXPECT_EQ(store.contents(), on_disk());
    EXPECT_EQ(store.read_text("A"), "1");
    EXPECT_EQ(store.read_text("B"), "2");
}

TEST_F(SettingsFile, RewritingAValueChangesTheFileInPlace) {
    open_with("[x]\r\nA=1\r\nB=2\r\n[y]\r\nC=3\r\n", "x");
    EXPECT_TRUE(store.write_text("A", "a much longer value"));
    EXPECT_EQ(on_disk(), "[x]\r\nA=a much longer value\r\nB=2\r\n[y]\r\nC=3\r\n");
    EXPECT_TRUE(store.write_text("A", ""));
    EXPECT_EQ(on_disk(), "[x]\r\nA=\r\nB=2\r\n[y]\r\nC=3\r\n");
    store.set_section("y");
    EXPECT_TRUE(store.write_text("C", "value at the end"));
    EXPECT_EQ(on_disk(), "[x]\r\nA=\r\nB=2\r\n[y]\r\nC=value at the end\r\n");
    EXPECT_EQ(store.contents(), on_disk());
}

TEST_F(SettingsFile, NewSectionIsAppendedBehindALineBreak) {
    open_with("[x]\r\nA=1", "y");
    EXPECT_TRUE(store.write_number("N", 5));
    EXPECT_EQ(on_disk(), "[x]\r\nA=1\r\n[y]\r\nN=5");
}

TEST_F(SettingsFile, KeyUnderALaterSectionBelongsToThatSectionOnly) {
    open_with(local("[甲]\r\nX=1\r\n[乙]\r\nK=9"), "甲");
    EXPECT_EQ(store.read_text("K", "none"), "none");
    EXPECT_TRUE(store.write_text("K", "5"));
    EXPECT_EQ(on_disk(), local("[甲]\r\nK=5\r\nX=1\r\n[乙]\r\nK=9"));
    store.set_section(local("乙"));
    EXPECT_EQ(store.read_text("K"), "9");
}

TEST_F(SettingsFile, HeaderCountsOnlyAtALineStart) {
    open_with(local("[其它]\r\nV=a[主界面]\r\nA=1\r\nx[主界面]\r\nB=2"), "主界面");
    EXPECT_EQ(store.read_text("A", "d"), "d");
    EXPECT_EQ(store.read_text("B", "d"), "d");
    EXPECT_TRUE(store.write_text("A", "7"));
    EXPECT_EQ(on_disk(),
              local("[其它]\r\nV=a[主界面]\r\nA=1\r\nx[主界面]\r\nB=2\r\n[主界面]\r\nA=7"));
    EXPECT_EQ(store.read_text("A"), "7");
}

TEST_F(SettingsFile, HeaderAtTheVeryStartCounts) {
    open_with("[s]\r\nA=1", "s");
    EXPECT_EQ(store.read_text("A"), "1");
}

TEST_F(SettingsFile, OnlyTheFirstOfTwoSectionsOfOneNameIsUsed) {
    open_with("[S]\r\nA=1\r\n[S]\r\nA=2\r\nB=3", "S");
    EXPECT_EQ(store.read_text("A"), "1");
    EXPECT_EQ(store.read_text("B", "d"), "d");
    EXPECT_TRUE(store.write_text("B", "4"));
    EXPECT_EQ(on_disk(), "[S]\r\nB=4\r\nA=1\r\n[S]\r\nA=2\r\nB=3");
}

TEST_F(SettingsFile, BracketsInsideALineAreNoHeaderLine) {
    // "[a]b" with more after it on its line, and a bracket pair across a line break, do not
    // close the section.
    open_with("[S]\r\n[a]b=1\r\nc[d]\r\n[e\r\nf]\r\nK=2", "S");
    EXPECT_EQ(store.read_text("K"), "2");
    open_with("[S]\r\nx=1\r\n[a]b]\r\nK=2", "S");
    EXPECT_EQ(store.read_text("K", "d"), "d");
}

TEST_F(SettingsFile, LineBreaksInValuesAreEscapedAndComeBack) {
    ASSERT_TRUE(store.open(file()));
    store.set_section("s");
    EXPECT_TRUE(store.write_text("M", "a\r\nb\r\n"));
    EXPECT_EQ(on_disk(), "[s]\r\nM=a" + local("┊*┊") + "b" + local("┊*┊"));
    EXPECT_EQ(store.read_text("M"), "a\r\nb\r\n");
    // Lone CR and LF are stored as they are.
    EXPECT_TRUE(store.write_text("L", "a\rb\nc"));
    EXPECT_EQ(store.read_text("L"), "a\rb\nc");
    EXPECT_EQ(store.read_text("M"), "a\r\nb\r\n");
}

TEST_F(SettingsFile, TypedEscapeReadsAsALineBreak) {
    ASSERT_TRUE(store.open(file()));
    store.set_section("s");
    EXPECT_TRUE(store.write_text("T", local("┊*┊")));
    EXPECT_EQ(store.read_text("T"), "\r\n");
}

TEST_F(SettingsFile, StrayLeadByteCannotSmuggleALineBreakIntoTheFile) {
    ASSERT_TRUE(store.open(file()));
    store.set_section("s");
    const std::string value = "\xB0\r\n[s]\r\nK=evil";
    EXPECT_TRUE(store.write_text("V", value));
    EXPECT_EQ(store.read_text("V"), value);
    EXPECT_EQ(store.read_text("K", "none"), "none");
    EXPECT_EQ(on_disk().find("\r\n[s]", 1), std::string::npos);
}

TEST_F(SettingsFile, EmptyOrMissingValueGivesTheFallback) {
    open_with("[s]\r\nE=\r\nF=x", "s");
    EXPECT_EQ(store.read_text("E", "fallback"), "fallback");
    EXPECT_EQ(store.read_text("missing", "fallback"), "fallback");
    EXPECT_EQ(store.read_text("F", "fallback"), "x");
    store.set_section("nosuch");
    EXPECT_EQ(store.read_text("F", "fallback"), "fallback");
}

TEST_F(SettingsFile, NumbersUseThirteenSignificantDigits) {
    ASSERT_TRUE(store.open(file()));
    store.set_section("n");
    const std::pair<double, std::string> cases[] = {
        {3, "3"},        {-1, "-1"},
        {0.1, "0.1"},    {1.0 / 3, "0.3333333333333"},
        {1e20, "1e+20"}, {123456789012345.0, "1.234567890123e+14"}};
    for (const auto& [number, text] : cases) {
        EXPECT_TRUE(store.write_number("v", number));
        EXPECT_EQ(store.read_text("v"), text);
    }
}

TEST_F(SettingsFile, ReadingANumberTakesTheLeadingNumber) {
    open_with("[n]\r\na=12abc\r\nb=abc\r\nc= -2.5e1x\r\nd=.5\r\ne=1e\r\nf=1e999", "n");
    EXPECT_EQ(store.read_number("a", 9), 12);
    EXPECT_EQ(store.read_number("b", 9), 0);
    EXPECT_EQ(store.read_number("c", 9), -25);
    EXPECT_EQ(store.read_number("d", 9), 0.5);
    EXPECT_EQ(store.read_number("e", 9), 1);
    EXPECT_EQ(store.read_number("f", 9), 0);
    EXPECT_EQ(store.read_number("missing", 7.25), 7.25);
    EXPECT_EQ(store.read_number("missing", -3), -3);
}

TEST_F(SettingsFile, TruthValuesAreTheTwoChineseWords) {
    ASSERT_TRUE(store.open(file()));
    store.set_section("b");
    EXPECT_TRUE(store.write_bool("t", true));
    EXPECT_TRUE(store.write_bool("f", false));
    EXPECT_EQ(store.read_text("t"), local("真"));
    EXPECT_EQ(store.read_text("f"), local("假"));
    EXPECT_TRUE(store.read_bool("t", false));
    EXPECT_FALSE(store.read_bool("f", true));
    EXPECT_TRUE(store.read_bool("missing", true));
    EXPECT_FALSE(store.read_bool("missing", false));
    EXPECT_TRUE(store.write_text("x", local("真 ")));
    EXPECT_FALSE(store.read_bool("x", true));
}

TEST_F(SettingsFile, NamesThatWouldBreakTheLinesAreRefused) {
    ASSERT_TRUE(store.open(file()));
    store.set_section("s");
    EXPECT_FALSE(store.write_text("a\r\nb", "1"));
    store.set_section("bad\r\n[s]");
    EXPECT_FALSE(store.write_text("k", "1"));
    EXPECT_EQ(on_disk(), "");
}

TEST_F(SettingsFile, ReopeningGivesWhatWasWritten) {
    ASSERT_TRUE(store.open(file()));
    store.set_section(local("主界面"));
    store.write_text("k", local("中文值"));
    store.close();
    EXPECT_EQ(store.contents(), "");
    SettingsStore again;
    ASSERT_TRUE(again.open(file()));
    again.set_section(local("主界面"));
    EXPECT_EQ(again.read_text("k"), local("中文值"));
}

// ---- the held file ----

TEST_F(SettingsFile, SecondStoreReadsButWritesNothing) {
    ASSERT_TRUE(store.open(file()));
    store.set_section("s");
    store.write_text("A", "1");
    const std::string before = on_disk();

    SettingsStore second;
    EXPECT_FALSE(second.open(file()));
    EXPECT_FALSE(second.is_writable());
    second.set_section("s");
    EXPECT_EQ(second.read_text("A"), "1");
    EXPECT_FALSE(second.write_text("A", "2"));
    EXPECT_FALSE(second.write_text("B", "3"));
    EXPECT_EQ(second.read_text("A"), "2");  // kept in memory
    EXPECT_FALSE(second.write_bytes("K", {1, 2, 3}));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "inibin"));
    EXPECT_EQ(on_disk(), before);

    // The first store goes on undisturbed; once it lets go, another copy can take the file.
    EXPECT_TRUE(store.write_text("A", "4"));
    EXPECT_EQ(on_disk(), "[s]\r\nA=4");
    store.close();
    SettingsStore third;
    EXPECT_TRUE(third.open(file()));
}

TEST_F(SettingsFile, UnopenableFileKeepsWritesInMemory) {
    EXPECT_FALSE(store.open(dir.path() / "no such folder" / "settings.ini"));
    store.set_section("s");
    EXPECT_FALSE(store.write_text("A", "1"));
    EXPECT_EQ(store.read_text("A"), "1");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "no such folder"));

    std::filesystem::create_directory(dir.path() / "a folder");
    EXPECT_FALSE(store.open(dir.path() / "a folder"));
}

// ---- the write queue ----

TEST_F(SettingsFile, WriteFromAPumpedEventIsQueuedAndDoneInOrder) {
    ASSERT_TRUE(store.open(file()));
    store.set_section("s");
    int handler_runs = 0;
    bool inner_result = true;
    support::TestHooks hooks([&] {
        if (handler_runs++ > 0) return;
        // A handler running inside the write, in another section.
        store.set_section("t");
        inner_result = store.write_text("inner", "2");
    });
    // The pump is throttled; keep writing until the handler has had its turn.
    bool outer_result = false;
    int round = 0;
    while (handler_runs == 0 && round < 100000) {
        store.set_section("s");
        outer_result = store.write_text("outer", std::to_string(++round));
    }
    ASSERT_EQ(handler_runs >= 1, true);
    EXPECT_TRUE(outer_result);
    EXPECT_FALSE(inner_result);
    store.set_section("t");
    EXPECT_EQ(store.read_text("inner"), "2");
    store.set_section("s");
    EXPECT_EQ(store.read_text("outer"), std::to_string(round));
    EXPECT_EQ(on_disk(), "[s]\r\nouter=" + std::to_string(round) + "\r\n[t]\r\ninner=2");
}

// ---- binary value files ----

TEST_F(SettingsFile, BytesGoToTheirOwnFileNamedBySectionAndKey) {
    ASSERT_TRUE(store.open(file()));
    store.set_section(local("主界面"));
    const ByteBuffer bytes = {0, 'a', 0xB0, 0xA1, '\r', '\n', 0xFF};
    EXPECT_TRUE(store.write_bytes(local("编辑框关键词列表"), bytes));
    const auto expected = dir.path() / "inibin" / "主界面-编辑框关键词列表.ibn";
    ASSERT_TRUE(std::filesystem::exists(expected));
    EXPECT_EQ(read_file_bytes(expected), std::string(bytes.begin(), bytes.end()));
    EXPECT_EQ(store.read_bytes(local("编辑框关键词列表")), bytes);
    EXPECT_EQ(on_disk(), "");  // nothing of it in the settings file

    EXPECT_TRUE(store.write_bytes(local("编辑框关键词列表"), {'x'}));
    EXPECT_EQ(read_file_bytes(expected), "x");
    // Only the value file lives in the folder: no temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(expected.parent_path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(SettingsFile, EmptyOrMissingBytesGiveTheFallback) {
    ASSERT_TRUE(store.open(file()));
    store.set_section("s");
    const ByteBuffer fallback = {'d'};
    EXPECT_EQ(store.read_bytes("k", fallback), fallback);
    EXPECT_TRUE(store.write_bytes("k", {}));
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "inibin" / "s-k.ibn"));
    EXPECT_EQ(store.read_bytes("k", fallback), fallback);
}

TEST_F(SettingsFile, BytesNamesCannotLeaveTheFolder) {
    ASSERT_TRUE(store.open(file()));
    store.set_section("..");
    EXPECT_FALSE(store.write_bytes("/../../escape", {'x'}));
    EXPECT_FALSE(std::filesystem::exists(dir.path().parent_path() / "escape.ibn"));
    EXPECT_TRUE(store.bytes_file_path("a/b", "c").empty());
}

TEST_F(SettingsFile, BytesWriteFailsWhenTheFolderCannotBeMade) {
    ASSERT_TRUE(store.open(file()));
    write_file_bytes(dir.path() / "inibin", "a file in the folder's place");
    store.set_section("s");
    EXPECT_FALSE(store.write_bytes("k", {'x'}));
}

TEST_F(SettingsFile, FailedBytesWriteKeepsThePreviousFileWhole) {
    ASSERT_TRUE(store.open(file()));
    store.set_section("s");
    const ByteBuffer old_list(100, 'o');
    ASSERT_TRUE(store.write_bytes("list", old_list));

    // A file size limit makes the next write fail halfway, as a full disk would.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 50;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = store.write_bytes("list", ByteBuffer(1000, 'n'));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, old_handler);

    EXPECT_FALSE(written);
    EXPECT_EQ(store.read_bytes("list"), old_list);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() / "inibin"),
                            std::filesystem::directory_iterator()),
              1);
}

// ---- bad input ----

void exercise(SettingsStore& store, const std::filesystem::path& file) {
    ASSERT_TRUE(store.open(file));
    store.set_section(local("主界面"));
    store.read_text("A", "d");
    store.read_number("N", 1);
    EXPECT_TRUE(store.write_text("A", "1"));
    EXPECT_TRUE(store.write_text("B", "x\r\ny"));
    EXPECT_EQ(store.read_text("A"), "1");
    EXPECT_EQ(store.read_text("B"), "x\r\ny");
    EXPECT_EQ(read_file_bytes(file), store.contents());
}

TEST_F(SettingsFile, RandomBytesReadAndWriteWithoutHarm) {
    std::mt19937 random(12345);
    for (int round = 0; round < 20; ++round) {
        std::string bytes(static_cast<std::size_t>(random() % 5000), '\0');
        for (char& c : bytes) {
            // Plenty of the bytes that matter to the format.
            static const char interesting[] = "[]=\r\n\xA9\xAE*";
            c = random() % 3 == 0 ? interesting[random() % 9] : static_cast<char>(random());
        }
        write_file_bytes(file(), bytes);
        exercise(store, file());
    }
}

TEST_F(SettingsFile, LargeAndOddlyBrokenFilesStayLinear) {
    const std::size_t size = 10 * 1024 * 1024;
    const std::string header = local("[主界面]");
    std::string headers_everywhere = "x";  // every header off its line start: a pass each
    while (headers_everywhere.size() < size) headers_everywhere += header;
    std::string header_lines = header;  // a header line before every possible key
    while (header_lines.size() < size) header_lines += "\r\n[x]\r\nA=0";
    const std::string inputs[] = {std::string(size, 'a'), std::string(size, '\r'),
                                  std::string(size, '\n'), headers_everywhere, header_lines};
    for (const std::string& bytes : inputs) {
        write_file_bytes(file(), bytes);
        exercise(store, file());
        EXPECT_GE(store.contents().size(), size);
    }
}

}  // namespace
}  // namespace trasslo
