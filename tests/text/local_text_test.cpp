#include "text/local_text.h"

#include <gtest/gtest.h>

namespace trasslo {
namespace {

TEST(LocalText, LiteralsBecomeGbkAndComeBack) {
    EXPECT_EQ(local("中"), "\xD6\xD0");
    EXPECT_EQ(local("€"), "\x80");
    EXPECT_EQ(to_utf8("\x80"), "€");
    EXPECT_EQ(to_utf8(local("主界面 abc")), "主界面 abc");
    EXPECT_EQ(local("😀"), "?");
}

TEST(LocalText, TrimRemovesAsciiAndFullWidthSpaces) {
    EXPECT_EQ(trim("  a b  "), "a b");
    EXPECT_EQ(trim("\xA1\xA1 x\xA1\xA1"), "x");
    EXPECT_EQ(trim("\xA1\xA1"), "");
    EXPECT_EQ(trim(""), "");
}

TEST(LocalText, SearchStepsOverDoubleByteCharacters) {
    // 0x81 0x47 is one character whose second byte is 'G'; "G" must not match inside it.
    EXPECT_EQ(find_text("\x81G G", "G"), 4);
    EXPECT_EQ(find_text("xAbc", "ab", 1, true), 2);
    EXPECT_EQ(find_text("xAbc", "ab"), -1);
    EXPECT_EQ(find_text("abab", "ab", 2), 3);
    EXPECT_EQ(find_text("abc", ""), -1);
    EXPECT_EQ(find_text_last("abab", "ab"), 3);
    EXPECT_EQ(find_text_last("abab", "ab", 3), 1);
}

TEST(LocalText, ReplaceResumesBehindEachReplacement) {
    EXPECT_EQ(replace_text("aaa", "a", "aa"), "aaaaaa");
    EXPECT_EQ(replace_text("aXa", "x", "-", true), "a-a");
    EXPECT_EQ(replace_text("aaa", "a", "b", false, 2), "bba");
    EXPECT_EQ(replace_text("\x81G", "G", "x"), "\x81G");
}

TEST(LocalText, SplittingKeepsInnerEmptiesAndDropsEmptyRest) {
    using V = std::vector<LocalText>;
    EXPECT_EQ(split_text("a\r\n\r\nb\r\n", "\r\n"), (V{"a", "", "b"}));
    EXPECT_EQ(split_text("", "\r\n"), V{});
    EXPECT_EQ(split_text("\r\n", "\r\n"), V{""});
    EXPECT_EQ(split_text("a|b|", "|"), (V{"a", "b"}));
    EXPECT_EQ(split_text("|", "|"), V{""});
}

}  // namespace
}  // namespace trasslo
