// The engine list file: its format, the defaults, charsets, damaged input and safe replacement.
#include "engines/engine_list_file.h"
#include "engines/engine_list_store.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <random>

#include "net/site_host.h"
#include "support/temp_dir.h"

namespace trasslo {
namespace {

using support::read_file_bytes;
using support::TempDir;
using support::write_file_bytes;

void write_list_file(const TempDir& dir, const std::string& bytes) {
    write_file_bytes(engine_list_file_path(dir.path()), bytes);
}

std::vector<TraceEngine> sample_engines() {
    return {{true, 0, local("新浪搜索"), "http://search.sina.com.cn/?q={*}"},
            {false, 1, local("风行网 "), "https://www.fun.tv/s?w={*}&x=1"},
            {true, 7, "", ""},
            {false, -3, "No address", ""}};
}

TEST(EngineListFile, SavedListLoadsBackTheSameInOrder) {
    TempDir dir;
    ASSERT_TRUE(write_engine_list_file(dir.path(), sample_engines()));
    EXPECT_EQ(read_engine_list_file(dir.path()), sample_engines());
    // GBK with CR LF after every line, under the UTF-8 form of the local name.
    ASSERT_TRUE(write_engine_list_file(
        dir.path(), {{true, 1, local("名称"), "http://a/{*}"}, {false, 0, "b", "c"}}));
    EXPECT_EQ(read_file_bytes(dir.path() / "留痕引擎列表.txt"),
              local("真|1|名称|http://a/{*}\r\n假|0|b|c\r\n"));
}

TEST(EngineListFile, MissingOrEmptyFileGivesTheEightDefaults) {
    TempDir dir;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        if (round == 1) {
            ASSERT_TRUE(write_engine_list_file(dir.path(), {}));  // an empty file
        }
        const auto engines = read_engine_list_file(dir.path());
        ASSERT_EQ(engines.size(), 8u);
        const int codes[] = {0, 0, 1, 0, 1, 1, 1, 1};
        for (size_t i = 0; i < engines.size(); ++i) {
            EXPECT_TRUE(engines[i].enabled) << i;
            EXPECT_EQ(engines[i].encoding, codes[i]) << i;
            EXPECT_EQ(engines[i].address.rfind("http://", 0), 0u) << i;
            EXPECT_NE(engines[i].address.find("{*}"), std::string::npos) << i;
        }
        EXPECT_EQ(engines[6].name, local("风行网 "));
        EXPECT_EQ(site_host(engines[3].address), "search.sina.com.cn");
    }
}

TEST(EngineListFile, LinesAndFieldsFollowTheSplittingRule) {
    // Only CR LF pairs: that many empty, unticked engines.
    EXPECT_EQ(parse_engine_list_text("\r\n\r\n\r\n"), std::vector<TraceEngine>(3));
    // A "|" in a name is saved as it is and shifts the fields on the next load.
    TempDir dir;
    ASSERT_TRUE(write_engine_list_file(dir.path(), {{true, 0, "a|b", "http://x/{*}"}}));
    EXPECT_EQ(read_engine_list_file(dir.path()), (std::vector<TraceEngine>{{true, 0, "a", "b"}}));
    // Extra fields and a trailing "|" are dropped; short lines and a last line without CR LF
    // are read; a lone CR or LF ends nothing.
    const auto parsed =
        parse_engine_list_text(local("真|1|n|addr|extra|more\r\n真\r\n\r\n假|1|a\nb|c\rd|"));
    EXPECT_EQ(parsed,
              (std::vector<TraceEngine>{
                  {true, 1, "n", "addr"}, {true, 0, "", ""}, {}, {false, 1, "a\nb", "c\rd"}}));
}

TEST(EngineListFile, OnlyExactTrueFlagTicksAndCodeReadsLikeAtoi) {
    const auto flags = parse_engine_list_text(local("真 |0\r\nTRUE|0\r\n 真|0\r\n1|0\r\n真|0"));
    ASSERT_EQ(flags.size(), 5u);
    for (size_t i = 0; i < 4; ++i) EXPECT_FALSE(flags[i].enabled) << i;
    EXPECT_TRUE(flags[4].enabled);

    auto code_of = [](std::string field) {
        return parse_engine_list_text("x|" + field)[0].encoding;
    };
    EXPECT_EQ(code_of("12abc"), 12);
    EXPECT_EQ(code_of("  -5"), -5);
    EXPECT_EQ(code_of("abc"), 0);
    EXPECT_EQ(code_of("- 4"), 0);
    // Far out of range: clamped, not undefined.
    EXPECT_EQ(code_of("99999999999999999999"), INT32_MAX);
    EXPECT_EQ(code_of("-99999999999999999999"), INT32_MIN);
}

TEST(EngineListFile, LinesNotWrittenTheWayTheFileIsAreNamedByNumber) {
    const LocalText text = local(
        "真|0|甲|http://a/?q={*}\r\n"  // 1
        "假|1|億|http://b/\r\n"        // 2: the second byte of 億 is "|", but inside the character
        "真|7|空|\r\n"                 // 3: an empty address, as it is saved
        "\r\n"                         // 4: empty
        "真|1|n|addr|extra\r\n"        // 5: a fifth field
        "真|0|a|b|\r\n"                // 6: a "|" after the address
        "真 |0|a|b\r\n"                // 7: flag
        "TRUE|0|a|b\r\n"               // 8
        "真|x|a|b\r\n"                 // 9: code
        "真|01|a|b\r\n"                // 10: a code the file would not be written with
        "真||a|b\r\n"                  // 11
        "真|0|a\r\n"                   // 12: three fields
        "假|-3|a|b");                  // 13: last line without CR LF
    EXPECT_EQ(malformed_engine_lines(text),
              (std::vector<std::size_t>{4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_TRUE(malformed_engine_lines(default_engine_list_text()).empty());
    EXPECT_TRUE(malformed_engine_lines(format_engine_list_text(sample_engines())).empty());
}

TEST(EngineListFile, UnicodeFilesLoadAsLocalText) {
    const std::string utf8 = "真|1|新浪搜索|http://search.sina.com.cn/?q={*}\r\n假|0|天空|x\r\n";
    const auto expected = parse_engine_list_text(local(utf8));
    std::string utf16le = "\xFF\xFE";
    for (char16_t unit : local_text_to_utf16(local(utf8))) {
        utf16le += static_cast<char>(unit & 0xFF);
        utf16le += static_cast<char>(unit >> 8);
    }
    TempDir dir;
    for (const std::string& bytes : {utf8, "\xEF\xBB\xBF" + utf8, utf16le}) {
        write_list_file(dir, bytes);
        EXPECT_EQ(read_engine_list_file(dir.path()), expected);
    }
}

// The reader's lines and fields, cut the slow way with the shared splitter.
std::vector<TraceEngine> parse_with_split_text(std::string_view text) {
    std::vector<TraceEngine> engines;
    for (const LocalText& line : split_text(text, "\r\n")) {
        std::vector<LocalText> fields = split_text(line, "|");
        fields.resize(4);
        engines.push_back(TraceEngine{fields[0] == local("真"), std::atoi(fields[1].c_str()),
                                      fields[2], fields[3]});
    }
    return engines;
}

TEST(EngineListFileBadInput, ReaderCutsLikeTheSharedSplitter) {
    // Lead bytes such as 0x81 swallow the byte after them, even a CR or a "|".
    std::mt19937 random(7);
    const std::string alphabet = "|\r\n\x81\xB4\xA1\xD5 a1-";
    for (int round = 0; round < 2000; ++round) {
        std::string text(random() % 40, ' ');
        for (char& c : text) c = alphabet[random() % alphabet.size()];
        ASSERT_EQ(parse_engine_list_text(text), parse_with_split_text(text)) << round;
    }
}

// A file cut off after the first byte of a double-byte character: the byte used to stay at the
// end of the last address, took the CR LF written behind it as its second half on the next
// save, and an engine added after it vanished into that line on the load after. A whole
// character at the end stays, even one whose second byte could also begin a character (D6 D0).
TEST(EngineListFileBadInput, LastCharacterOfTheFileIsKeptOnlyWholeAndSwallowsNoLaterEngine) {
    struct Row {
        std::string file_end;
        LocalText address;
    };
    const Row rows[] = {{"\x81", "http://a.cn/?q={*}"},
                        {"\xD5", "http://a.cn/?q={*}"},
                        {"\xFE", "http://a.cn/?q={*}"},
                        {local("中"), local("http://a.cn/?q={*}中")}};
    TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(to_utf8(row.address));
        write_list_file(dir, local("假|1|名字|http://a.cn/?q={*}") + row.file_end);
        std::vector<TraceEngine> engines = read_engine_list_file(dir.path());
        ASSERT_EQ(engines.size(), 1u);
        EXPECT_EQ(engines[0].address, row.address);
        EXPECT_EQ(engines[0].name, local("名字"));

        // Loaded, saved and loaded again: the same list; with one engine added: both.
        ASSERT_TRUE(write_engine_list_file(dir.path(), engines));
        EXPECT_EQ(read_engine_list_file(dir.path()), engines);
        engines.push_back({true, 0, "added", "http://b.cn/{*}"});
        ASSERT_TRUE(write_engine_list_file(dir.path(), engines));
        EXPECT_EQ(read_engine_list_file(dir.path()), engines);
    }
}

TEST(EngineListFileBadInput, RandomBytesLoadWithoutCrash) {
    TempDir dir;
    std::mt19937 random(20261208);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(random() % 2000, '\0');
        for (char& c : bytes) {
            const unsigned pick = random() % 8;
            c = pick == 0 ? '|' : pick == 1 ? '\r' : pick == 2 ? '\n' : static_cast<char>(random());
        }
        write_list_file(dir, bytes);
        const auto engines = read_engine_list_file(dir.path());
        // Formatting what was read and parsing it again keeps every line; only the last may
        // differ (it may end in half a double-byte character, which pairs with the added CR).
        const auto again = parse_engine_list_text(format_engine_list_text(engines));
        ASSERT_EQ(again.size(), engines.size());
        for (size_t i = 0; i + 1 < engines.size(); ++i) ASSERT_EQ(again[i], engines[i]) << i;
    }
}

TEST(EngineListFileBadInput, LargeFileLoadsCompletely) {
    // 500,000 lines, about 50 MB: every step on the way must stay linear for this to finish.
    TempDir dir;
    const LocalText name = local("大型引擎名称");
    std::string text;
    const int lines = 500000;
    text.reserve(lines * 100);
    for (int i = 0; i < lines; ++i) {
        text += (i % 2 ? local("真") : local("假")) + "|" + std::to_string(i % 3) + "|" + name +
                std::to_string(i) + "|http://host" + std::to_string(i % 97) +
                ".example.com/path/to/search.php?query={*}&page=1&flag=abcdefghij\r\n";
    }
    ASSERT_GT(text.size(), 50'000'000u);
    write_list_file(dir, text);
    const auto engines = read_engine_list_file(dir.path());
    ASSERT_EQ(engines.size(), static_cast<size_t>(lines));
    EXPECT_EQ(format_engine_list_text(engines), text);
}

// Limits the size of files this process may write, as a full disk would, for one scope.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, old_handler_);
    }

  private:
    rlimit old_{};
    void (*old_handler_)(int) = nullptr;
};

size_t files_in(const std::filesystem::path& folder) {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

TEST(EngineListFileReplace, FailedWriteLeavesOldFileWholeAndNoLeftovers) {
    TempDir dir;
    const std::string old_bytes = local("真|0|旧引擎|http://old.example.com/?q={*}\r\n");
    write_list_file(dir, old_bytes);
    {
        FileSizeLimit limit(1000);  // the new text is far larger
        EXPECT_FALSE(write_engine_list_file(
            dir.path(), std::vector<TraceEngine>(2000, {true, 1, "new", "http://new/{*}"})));
    }
    EXPECT_EQ(read_file_bytes(engine_list_file_path(dir.path())), old_bytes);
    EXPECT_EQ(files_in(dir.path()), 1u);
    // A successful write leaves no temporary file either.
    ASSERT_TRUE(write_engine_list_file(dir.path(), sample_engines()));
    EXPECT_EQ(files_in(dir.path()), 1u);
}

TEST(EngineListFileReplace, UnwritableTargetsFailQuietly) {
    TempDir dir;
    // The file's place is taken by a folder with something in it: the rename cannot replace it.
    std::filesystem::create_directory(engine_list_file_path(dir.path()));
    write_file_bytes(engine_list_file_path(dir.path()) / "keep", "x");
    EXPECT_FALSE(write_engine_list_file(dir.path(), sample_engines()));
    EXPECT_EQ(read_file_bytes(engine_list_file_path(dir.path()) / "keep"), "x");
    EXPECT_EQ(files_in(dir.path()), 1u);
}

}  // namespace
}  // namespace trasslo

namespace trasslo {
namespace {

// What a save keeps of the file as another program left it: only engines that program added,
// told from the ones this list deleted by the text read, and from this list's own by normal form.
TEST(EngineListStore, KeepsOnlyWhatAnotherProgramAdded) {
    const TraceEngine a{true, 0, "a", "http://a.cn/?q={*}"};
    const TraceEngine b{true, 0, "b", "http://b.cn/?q={*}"};
    const TraceEngine c{false, 1, "c", "http://c.cn/?q={*}"};
    const EngineListBaseline read{format_engine_list_text({a, b})};
    const std::vector<TraceEngine> here = {a, {true, 1, "mine", "http://mine.cn/s?x=1&q={*}"}};
    const struct {
        const char* name;
        std::vector<TraceEngine> on_disk;
        std::vector<TraceEngine> kept;
    } rows[] = {
        {"as read", {a, b}, {}},
        {"one added", {a, b, c}, {c}},
        {"deleted here, still on disk", {a, b}, {}},
        {"this list's own, in another form",
         {a, {true, 0, "m", "https://www.mine.cn/s?q=%s&x=1"}},
         {}},
        {"one site added twice", {c, {true, 0, "c2", "https://c.cn/?q={*}"}}, {c}},
        {"the file emptied", {}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(engines_added_elsewhere(here, row.on_disk, read), row.kept);
    }
}

TEST(EngineListStore, ASaveReadsTheFileAgainAndAppendsWhatWasAdded) {
    TempDir dir;
    const TraceEngine a{true, 0, "a", "http://a.cn/?q={*}"};
    const TraceEngine b{false, 0, "b", "http://b.cn/?q={*}"};
    write_list_file(dir, format_engine_list_text({a}));
    EngineListBaseline baseline;
    std::vector<TraceEngine> engines = read_engine_list_file(dir.path(), baseline);
    ASSERT_EQ(engines, std::vector<TraceEngine>{a});
    write_list_file(dir, format_engine_list_text({a, b}));
    engines[0].enabled = false;
    const EngineListSave save = save_engine_list_merged(engines, dir.path(), baseline);
    EXPECT_TRUE(save.written);
    EXPECT_EQ(save.merged, std::vector<TraceEngine>{b});
    TraceEngine unticked = a;
    unticked.enabled = false;
    EXPECT_EQ(read_engine_list_file(dir.path()), (std::vector<TraceEngine>{unticked, b}));
    // Saved again with nothing changed elsewhere: nothing more is merged.
    EXPECT_TRUE(save_engine_list_merged(engines, dir.path(), baseline).merged.empty());
    EXPECT_EQ(engines.size(), 2u);
}

}  // namespace
}  // namespace trasslo
