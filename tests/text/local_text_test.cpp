#include "text/local_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

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

TEST(LocalText, ACutCharacterIsAFirstByteWithNothingBehindIt) {
    const std::pair<const char*, bool> rows[] = {
        {"", false},
        {"a", false},
        {"\x81", true},
        {"a\x81", true},
        {"\xD6\xD0", false},
        {"\xD6\xD0\x81", true},
        {"\x81 ", false},
        {"\x81\x81\x81", true},
        {"\x81\x41\x81\x81", false},
        {"\xFF\x81", true},
        {"\x80\x81\x81", false},
    };
    for (const auto& [text, cut] : rows) EXPECT_EQ(ends_with_cut_character(text), cut) << text;
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

// The searches skip ahead with byte searches; walking the text one character at a time, as
// below, is what they must agree with on any bytes, trail bytes that look like letters and a
// lead byte at the very end included.
namespace reference {
size_t width(std::string_view t, size_t at) {
    const auto c = static_cast<unsigned char>(t[at]);
    return c >= 0x81 && c <= 0xFE && at + 1 < t.size() ? 2 : 1;
}
bool same(std::string_view t, size_t at, std::string_view p, bool ic) {
    if (at + p.size() > t.size()) return false;
    for (size_t i = 0; i < p.size(); ++i) {
        char a = t[at + i], b = p[i];
        if (ic && a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (ic && b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}
long find(std::string_view t, std::string_view p, long start, bool ic) {
    for (size_t at = static_cast<size_t>(start - 1); at < t.size(); at += width(t, at))
        if (same(t, at, p, ic)) return static_cast<long>(at) + 1;
    return -1;
}
long find_last(std::string_view t, std::string_view p, long limit, bool ic) {
    const size_t end = limit < 0 || static_cast<size_t>(limit) > t.size() ? t.size() : limit;
    long found = -1;
    for (size_t at = 0; at < t.size() && at + p.size() <= end; at += width(t, at))
        if (same(t, at, p, ic)) found = static_cast<long>(at) + 1;
    return found;
}
std::string replace(std::string_view t, std::string_view f, std::string_view r, bool ic,
                    long count) {
    std::string out;
    long done = 0;
    for (size_t at = 0; at < t.size();) {
        if ((count < 1 || done < count) && same(t, at, f, ic)) {
            out.append(r);
            at += f.size();
            ++done;
            continue;
        }
        out.append(t.substr(at, width(t, at)));
        at += width(t, at);
    }
    return out;
}
}  // namespace reference

TEST(LocalText, SearchesAgreeWithACharacterByCharacterWalk) {
    std::mt19937 rng(11);
    // Few distinct bytes, so that matches, near-matches and matches inside characters abound.
    const char alphabet[] = {'a', 'A', 'b', '\x81', '\xB0', '\x61', '\xFE', '\x41'};
    auto random_text = [&](size_t max) {
        std::string t(rng() % (max + 1), ' ');
        for (char& c : t) c = alphabet[rng() % sizeof alphabet];
        return t;
    };
    for (int round = 0; round < 20000; ++round) {
        const std::string text = random_text(24);
        std::string pattern = random_text(3);
        if (pattern.empty()) pattern = "a";
        const bool ic = rng() % 2 == 0;
        const long start = static_cast<long>(rng() % (text.size() + 2));
        // A start inside a character is the caller's mistake; the walk starts at boundaries.
        long boundary = 1;
        while (boundary < start && static_cast<size_t>(boundary) <= text.size())
            boundary += static_cast<long>(reference::width(text, boundary - 1));
        const long limit = static_cast<long>(rng() % (text.size() + 3)) - 1;
        const long count = static_cast<long>(rng() % 3);
        ASSERT_EQ(find_text(text, pattern, boundary, ic),
                  reference::find(text, pattern, boundary, ic))
            << round;
        ASSERT_EQ(find_text_last(text, pattern, limit, ic),
                  reference::find_last(text, pattern, limit, ic))
            << round;
        ASSERT_EQ(replace_text(text, pattern, "<>", ic, count),
                  reference::replace(text, pattern, "<>", ic, count))
            << round;
    }
}

}  // namespace
}  // namespace trasslo
