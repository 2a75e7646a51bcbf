// Where icons live on disk and which addresses are asked for them.
#include "icons/icon_cache.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace trasslo {
namespace {

using support::TempDir;

TEST(IconFilePath, IsTheHostAsWrittenInsideTheCacheFolder) {
    TempDir dir;
    const auto folder = dir.path() / "图标缓存";
    EXPECT_EQ(icon_cache_folder(dir.path()), folder);
    EXPECT_EQ(icon_file_path(dir.path(), "http://s.example.com/s?q={*}"),
              folder / "s.example.com.ico");
    // Letter case and port stay; the scheme goes, https or not.
    EXPECT_EQ(icon_file_path(dir.path(), "https://M.Example.com:8443/a/{*}"),
              folder / "M.Example.com:8443.ico");
    // A scheme-less address is its host up to the first "/".
    EXPECT_EQ(icon_file_path(dir.path(), "example.org/find?w={*}"), folder / "example.org.ico");
}

TEST(IconFilePath, ChineseHostBecomesUtf8OnDisk) {
    TempDir dir;
    const LocalText address = local("http://例子.中国/s?q={*}");
    EXPECT_EQ(icon_file_path(dir.path(), address).filename().string(), "例子.中国.ico");
}

TEST(IconAddresses, HostThenMainDomainThenWww) {
    EXPECT_EQ(icon_addresses("http://s.example.com/s?q={*}"),
              (std::vector<LocalText>{"http://s.example.com/favicon.ico",
                                      "http://example.com/favicon.ico",
                                      "http://www.example.com/favicon.ico"}));
    EXPECT_EQ(icon_addresses("https://a.b.example.com.cn/x"),
              (std::vector<LocalText>{"https://a.b.example.com.cn/favicon.ico",
                                      "https://example.com.cn/favicon.ico",
                                      "https://www.example.com.cn/favicon.ico"}));
}

TEST(IconAddresses, WwwHostAsksTheSameAddressTwiceAndNoThird) {
    EXPECT_EQ(icon_addresses("http://www.example.com/s?q={*}"),
              (std::vector<LocalText>{"http://www.example.com/favicon.ico",
                                      "http://www.example.com/favicon.ico"}));
    // The "://www." test ignores letter case.
    EXPECT_EQ(icon_addresses("http://WWW.Example.com/s").size(), 2u);
}

TEST(IconAddresses, HostWithPortKeepsItsPortEverywhere) {
    EXPECT_EQ(icon_addresses("http://s.example.localhost:8080/s?q={*}"),
              (std::vector<LocalText>{"http://s.example.localhost:8080/favicon.ico",
                                      "http://example.localhost:8080/favicon.ico",
                                      "http://www.example.localhost:8080/favicon.ico"}));
}

TEST(HtmlAnswer, AnyClosingTagMarksAPage) {
    auto bytes = [](std::string_view s) { return ByteBuffer(s.begin(), s.end()); };
    EXPECT_TRUE(is_html_answer(bytes("<html><body>404</body></html>")));
    EXPECT_TRUE(is_html_answer(bytes("</")));
    EXPECT_TRUE(is_html_answer(bytes(std::string("\0\0\1</", 5))));
    EXPECT_FALSE(is_html_answer(bytes("<html>")));
    EXPECT_FALSE(is_html_answer(bytes("/<")));
    EXPECT_FALSE(is_html_answer(bytes("<")));
    EXPECT_FALSE(is_html_answer({}));
}

TEST(HttpsAddress, OnlyTheFirstEightBytesInAnyCase) {
    EXPECT_TRUE(is_https_address("https://m.example.com/s"));
    EXPECT_TRUE(is_https_address("HTTPS://M.EXAMPLE.COM/s"));
    EXPECT_FALSE(is_https_address("http://example.com/https://"));
    EXPECT_FALSE(is_https_address("https:/x"));
    EXPECT_FALSE(is_https_address(""));
}

TEST(IconFile, MissingAndEmptyFilesReadAsNothing) {
    TempDir dir;
    EXPECT_TRUE(read_icon_file(dir.path() / "none.ico").empty());
    support::write_file_bytes(dir.path() / "empty.ico", "");
    EXPECT_TRUE(read_icon_file(dir.path() / "empty.ico").empty());
    support::write_file_bytes(dir.path() / "one.ico", std::string("\0\1\2", 3));
    EXPECT_EQ(read_icon_file(dir.path() / "one.ico"), (ByteBuffer{0, 1, 2}));
    // A folder in the file's place holds no icon either.
    std::filesystem::create_directories(dir.path() / "folder.ico");
    EXPECT_TRUE(read_icon_file(dir.path() / "folder.ico").empty());

    // The worker's quick check agrees with reading, case by case.
    for (const char* name : {"none.ico", "empty.ico", "one.ico", "folder.ico"}) {
        EXPECT_EQ(icon_file_cached(dir.path() / name), !read_icon_file(dir.path() / name).empty())
            << name;
    }
}

TEST(IconFile, LargeFileIsReadWhole) {
    TempDir dir;
    std::string body(100000, '\0');
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 7);
    support::write_file_bytes(dir.path() / "big.ico", body);
    const ByteBuffer read = read_icon_file(dir.path() / "big.ico");
    EXPECT_EQ(std::string(read.begin(), read.end()), body);
}

TEST(IconFile, WriteReplacesWholeFileAndLeavesNoTemporary) {
    TempDir dir;
    const auto file = dir.path() / "a.ico";
    support::write_file_bytes(file, "a much longer old body");
    ASSERT_TRUE(write_icon_file(file, ByteBuffer{'n', 'e', 'w'}));
    EXPECT_EQ(support::read_file_bytes(file), "new");
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 1u);
}

TEST(IconFile, WriteIntoMissingFolderFailsQuietly) {
    TempDir dir;
    const auto file = dir.path() / "no such folder" / "a.ico";
    EXPECT_FALSE(write_icon_file(file, ByteBuffer{1}));
    EXPECT_FALSE(std::filesystem::exists(file));
}

}  // namespace
}  // namespace trasslo
