// The engine list file: its format, the defaults, charsets, damaged input and safe replacement.
#include "engines/engine_list_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "net/site_host.h"
#include "support/temp_dir.h"

namespace trasslo {
namespace {

using testing::read_file_bytes;
using testing::TempDir;
using testing::write_file_bytes;

TraceEngine engine(bool enabled, int code, std::string_view name_utf8, std::string_view address) {
    return TraceEngine{enabled, code, local(name_utf8), LocalText(address)};
}

void write_list_file(const TempDir& dir, const std::string& bytes) {
    write_file_bytes(engine_list_file_path(dir.path()), bytes);
}

std::vector<TraceEngine> sample_engines() {
    return {engine(true, 0, "新浪搜索", "http://search.sina.com.cn/?q={*}"),
            engine(false, 1, "风行网 ", "https://www.fun.tv/s?w={*}&x=1"), engine(true, 7, "", ""),
            engine(false, -3, "No address", ""),
            engine(true, 1, "YY直播", "http://www.yy.com/index/s?wd={*}")};
}

TEST(EngineListFile, SavedListLoadsBackTheSameInOrder) {
    TempDir dir;
    const auto engines = sample_engines();
    ASSERT_TRUE(write_engine_list_file(dir.path(), engines));
    EXPECT_EQ(read_engine_list_file(dir.path()), engines);
}

TEST(EngineListFile, WrittenAsGbkWithCrLfAfterEveryLine) {
    TempDir dir;
    ASSERT_TRUE(write_engine_list_file(
        dir.path(), {engine(true, 1, "名称", "http://a/{*}"), engine(false, 0, "b", "c")}));
    EXPECT_EQ(read_file_bytes(engine_list_file_path(dir.path())),
              local("真|1|名称|http://a/{*}\r\n假|0|b|c\r\n"));
    // The name on disk is the UTF-8 form of the local name.
    EXPECT_EQ(engine_list_file_path(dir.path()).filename().string(), "留痕引擎列表.txt");
}

TEST(EngineListFile, EmptyListWritesEmptyFileWhichLoadsDefaults) {
    TempDir dir;
    write_list_file(dir, "old contents\r\n");
    ASSERT_TRUE(write_engine_list_file(dir.path(), {}));
    EXPECT_EQ(read_file_bytes(engine_list_file_path(dir.path())), "");
    EXPECT_EQ(read_engine_list_file(dir.path()).size(), 8u);
}

void expect_defaults(const std::vector<TraceEngine>& engines) {
    ASSERT_EQ(engines.size(), 8u);
    const int codes[] = {0, 0, 1, 0, 1, 1, 1, 1};
    for (size_t i = 0; i < engines.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(engines[i].enabled);
        EXPECT_EQ(engines[i].encoding, codes[i]);
        EXPECT_EQ(engines[i].address.rfind("http://", 0), 0u);
        EXPECT_NE(engines[i].address.find("{*}"), std::string::npos);
        EXPECT_FALSE(site_host(engines[i].address).empty());
    }
    EXPECT_EQ(engines[0].name, local("阿里巴巴产品搜索"));
    EXPECT_EQ(engines[6].name, local("风行网 "));
    EXPECT_EQ(engines[7].name, local("YY直播"));
    EXPECT_EQ(site_host(engines[3].address), "search.sina.com.cn");
    EXPECT_NE(engines[7].address.find("/index/s?wd={*}"), std::string::npos);
}

TEST(EngineListFile, MissingOrEmptyFileGivesTheEightDefaults) {
    TempDir dir;
    expect_defaults(read_engine_list_file(dir.path()));
    write_list_file(dir, "");
    expect_defaults(read_engine_list_file(dir.path()));
    // A folder that does not exist at all.
    expect_defaults(read_engine_list_file(dir.path() / "nowhere"));
}

TEST(EngineListFile, CrLfPairsOnlyGiveThatManyEmptyEngines) {
    TempDir dir;
    write_list_file(dir, "\r\n\r\n\r\n");
    const auto engines = read_engine_list_file(dir.path());
    ASSERT_EQ(engines.size(), 3u);
    for (const TraceEngine& e : engines) EXPECT_EQ(e, TraceEngine{});
}

TEST(EngineListFile, FieldsSplitAtEveryBarWithoutEscaping) {
    // A "|" in a name is saved as it is and shifts the fields on the next load.
    TempDir dir;
    ASSERT_TRUE(write_engine_list_file(dir.path(), {engine(true, 0, "a|b", "http://x/{*}")}));
    const auto engines = read_engine_list_file(dir.path());
    ASSERT_EQ(engines.size(), 1u);
    EXPECT_EQ(engines[0].name, "a");
    EXPECT_EQ(engines[0].address, "b");

    const auto parsed = parse_engine_list_text(local("真|1|n|addr|\r\n真|1|n|addr|extra|more"));
    ASSERT_EQ(parsed.size(), 2u);
    EXPECT_EQ(parsed[0].address, "addr");
    EXPECT_EQ(parsed[1].address, "addr");
}

TEST(EngineListFile, LastLineWithoutCrLfAndShortLinesAreRead) {
    const auto parsed =
        parse_engine_list_text(local("真|1|first|http://a\r\n真\r\n\r\n假|1|last|b"));
    ASSERT_EQ(parsed.size(), 4u);
    EXPECT_EQ(parsed[1], (TraceEngine{true, 0, "", ""}));
    EXPECT_EQ(parsed[2], TraceEngine{});
    EXPECT_EQ(parsed[3], (TraceEngine{false, 1, "last", "b"}));
    // A lone CR or LF is no line end.
    const auto one = parse_engine_list_text(local("真|1|a\nb|c\rd"));
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].name, "a\nb");
    EXPECT_EQ(one[0].address, "c\rd");
}

TEST(EngineListFile, OnlyExactTrueFlagTicks) {
    const auto parsed = parse_engine_list_text(
        local("真 |0|a|x\r\nTRUE|0|b|x\r\n 真|0|c|x\r\n假|0|d|x\r\n1|0|e|x\r\n真|0|f|x"));
    ASSERT_EQ(parsed.size(), 6u);
    for (size_t i = 0; i < 5; ++i) EXPECT_FALSE(parsed[i].enabled) << i;
    EXPECT_TRUE(parsed[5].enabled);
}

TEST(EngineListFile, CodeIsReadLikeAtoi) {
    auto code_of = [](std::string_view field) {
        return parse_engine_list_text("x|" + std::string(field) + "|n|a")[0].encoding;
    };
    EXPECT_EQ(code_of("1"), 1);
    EXPECT_EQ(code_of("12abc"), 12);
    EXPECT_EQ(code_of("  -5"), -5);
    EXPECT_EQ(code_of("+3"), 3);
    EXPECT_EQ(code_of("abc"), 0);
    EXPECT_EQ(code_of(""), 0);
    EXPECT_EQ(code_of("- 4"), 0);
    // Far out of range: clamped, not undefined.
    EXPECT_EQ(code_of("99999999999999999999"), INT32_MAX);
    EXPECT_EQ(code_of("-99999999999999999999"), INT32_MIN);
}

TEST(EngineListFile, LineBreakInsideDoubleByteCharacterIsNotSplit) {
    // 0x81 leads a double-byte character, so "\x81\r" is one character and the "\n" after it
    // cannot end a line there.
    const auto parsed = parse_engine_list_text("\x81\r\n|0|a|b\r\nx|1|c|d");
    ASSERT_EQ(parsed.size(), 2u);
    EXPECT_EQ(parsed[0].name, "a");
    EXPECT_EQ(parsed[1].name, "c");
}

TEST(EngineListFile, UnicodeFilesLoadAsLocalText) {
    const std::string utf8 = "真|1|新浪搜索|http://search.sina.com.cn/?q={*}\r\n假|0|天空|x\r\n";
    const auto expected = parse_engine_list_text(local(utf8));
    ASSERT_EQ(expected.size(), 2u);

    TempDir dir;
    write_list_file(dir, utf8);
    EXPECT_EQ(read_engine_list_file(dir.path()), expected);
    write_list_file(dir, "\xEF\xBB\xBF" + utf8);
    EXPECT_EQ(read_engine_list_file(dir.path()), expected);

    const std::u16string units = local_text_to_utf16(local(utf8));
    std::string le = "\xFF\xFE";
    for (char16_t u : units) {
        le += static_cast<char>(u & 0xFF);
        le += static_cast<char>(u >> 8);
    }
    write_list_file(dir, le);
    EXPECT_EQ(read_engine_list_file(dir.path()), expected);
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
    std::mt19937 random(7);
    const std::string alphabet = "|\r\n\x81\xB4\xA1\xD5\xE6\x7C ab1-9";
    for (int round = 0; round < 2000; ++round) {
        std::string text(random() % 40, ' ');
        for (char& c : text) c = alphabet[random() % alphabet.size()];
        ASSERT_EQ(parse_engine_list_text(text), parse_with_split_text(text)) << round;
    }
}

TEST(EngineListFileBadInput, RandomBytesLoadWithoutCrash) {
    TempDir dir;
    std::mt19937 random(20261208);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(random() % 2000, '\0');
        for (char& c : bytes) {
            // Lean towards the bytes that mean something here.
            const unsigned pick = random() % 8;
            c = pick == 0 ? '|' : pick == 1 ? '\r' : pick == 2 ? '\n' : static_cast<char>(random());
        }
        write_list_file(dir, bytes);
        const auto engines = read_engine_list_file(dir.path());
        EXPECT_FALSE(engines.empty());
        // Formatting what was read and parsing it again keeps every line: only the last one
        // may read differently (it may end in half a double-byte character, which then pairs
        // with the CR that formatting adds).
        const auto again = parse_engine_list_text(format_engine_list_text(engines));
        ASSERT_EQ(again.size(), engines.size());
        for (size_t i = 0; i + 1 < engines.size(); ++i) ASSERT_EQ(again[i], engines[i]) << i;
    }
}

TEST(EngineListFileBadInput, LargeFileLoadsCompletely) {
    // 500,000 lines, about 50 MB: everything on the way (reading, charset trial, splitting)
    // must stay linear for this to finish.
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
    EXPECT_EQ(engines.back().name, name + std::to_string(lines - 1));
    EXPECT_TRUE(engines.back().enabled);
    EXPECT_EQ(engines.back().encoding, (lines - 1) % 3);
    EXPECT_EQ(format_engine_list_text(engines), text);
}

// Files in `folder` other than the engine list itself (left-over temporary files).
std::vector<std::string> stray_files(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path() != engine_list_file_path(folder)) names.push_back(entry.path().string());
    }
    return names;
}

TEST(EngineListFileReplace, SuccessLeavesNoTemporaryFile) {
    TempDir dir;
    write_list_file(dir, "old\r\n");
    ASSERT_TRUE(write_engine_list_file(dir.path(), sample_engines()));
    EXPECT_TRUE(stray_files(dir.path()).empty());
    EXPECT_EQ(read_engine_list_file(dir.path()), sample_engines());
}

TEST(EngineListFileReplace, KeepsTheOldFilesPermissions) {
    TempDir dir;
    write_list_file(dir, "old\r\n");
    namespace fs = std::filesystem;
    fs::permissions(engine_list_file_path(dir.path()),
                    fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(write_engine_list_file(dir.path(), sample_engines()));
    EXPECT_EQ(fs::status(engine_list_file_path(dir.path())).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
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

TEST(EngineListFileReplace, FailedWriteLeavesOldFileWhole) {
    TempDir dir;
    const std::string old_bytes = local("真|0|旧引擎|http://old.example.com/?q={*}\r\n");
    write_list_file(dir, old_bytes);
    std::vector<TraceEngine> big(2000, engine(true, 1, "新引擎", "http://new.example.com/{*}"));
    {
        FileSizeLimit limit(1000);  // the new text is far larger
        EXPECT_FALSE(write_engine_list_file(dir.path(), big));
    }
    EXPECT_EQ(read_file_bytes(engine_list_file_path(dir.path())), old_bytes);
    EXPECT_TRUE(stray_files(dir.path()).empty());
}

TEST(EngineListFileReplace, UnwritableTargetsFailQuietly) {
    TempDir dir;
    // The file's place is taken by a folder with something in it: the rename cannot replace it.
    std::filesystem::create_directory(engine_list_file_path(dir.path()));
    write_file_bytes(engine_list_file_path(dir.path()) / "keep", "x");
    EXPECT_FALSE(write_engine_list_file(dir.path(), sample_engines()));
    EXPECT_EQ(read_file_bytes(engine_list_file_path(dir.path()) / "keep"), "x");
    EXPECT_TRUE(stray_files(dir.path()).empty());

    // The program folder is a plain file.
    write_file_bytes(dir.path() / "file", "y");
    EXPECT_FALSE(write_engine_list_file(dir.path() / "file", sample_engines()));
    EXPECT_EQ(read_file_bytes(dir.path() / "file"), "y");
}

}  // namespace
}  // namespace trasslo
