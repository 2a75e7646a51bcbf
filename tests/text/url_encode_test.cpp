#include "text/url_encode.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "base/event_pump.h"
#include "support/test_hooks.h"

namespace trasslo {
namespace {

// The rule written out the slow way: escape every byte, then restore as the lists say.
LocalText reference_encode(std::string_view bytes, bool keep_amp_eq, bool encode_all) {
    static const char* hex = "0123456789ABCDEF";
    LocalText out;
    for (char ch : bytes) {
        auto b = static_cast<unsigned char>(ch);
        bool alnum = (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
        if (!encode_all && alnum) {
            out.push_back(ch);
        } else {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 15];
        }
    }
    if (keep_amp_eq) out = list_replace(out, "%26|%3D", "&|=");
    if (!encode_all) out = list_replace(out, "%2E|%5F|%2D", ".|_|-");
    return out;
}

TEST(UrlEncode, WorkedExamplesInBothEncodings) {
    EXPECT_EQ(url_encode(local("abc 中")), "abc%20%D6%D0");
    EXPECT_EQ(url_encode(local("abc 中"), true), "abc%20%E4%B8%AD");
    // £ reaches local text by best fit, as ￡.
    EXPECT_EQ(url_encode(local("£10")), "%A1%EA10");
    for (bool utf8 : {false, true}) {
        SCOPED_TRACE(utf8);
        EXPECT_EQ(url_encode("a.b_c-d~e&f=g", utf8), "a.b_c-d%7Ee%26f%3Dg");
        EXPECT_EQ(url_encode("a.b", utf8, false, true), "%61%2E%62");
        EXPECT_EQ(url_encode("e&f=g", utf8, true), "e&f=g");
        EXPECT_EQ(url_encode("", utf8), "");
        EXPECT_EQ(url_encode("Az09xyz", utf8), "Az09xyz");
        EXPECT_EQ(url_encode("% + *~", utf8), "%25%20%2B%20%2A%7E");
    }
}

TEST(UrlEncode, HexDigitsAreUpperCaseAndLowBytesPadded) {
    EXPECT_EQ(url_encode("\xAB\x01\x0F"), "%AB%01%0F");
}

TEST(UrlEncode, GbkSecondBytesThatAreAsciiStandLiterally) {
    // 丟 is 0x81 0x47; the byte test knows nothing of character boundaries.
    EXPECT_EQ(url_encode("\x81\x47"), "%81G");
    EXPECT_EQ(url_encode("\x81\x5F"), "%81_");
    EXPECT_EQ(url_encode("\x81\x47", false, false, true), "%81%47");
}

TEST(UrlEncode, EncodeAllWithKeepAmpEqStillLeavesThem) {
    EXPECT_EQ(url_encode("a&=.", false, true, true), "%61&=%2E");
}

TEST(UrlEncode, Utf8FormDropsTheTerminatorAndStopsAtZero) {
    // A local text ends at its first zero byte: nothing behind it is encoded.
    EXPECT_EQ(url_encode(std::string_view("ab\0cd", 5), true), "ab");
    EXPECT_EQ(url_encode(std::string_view("ab\0cd", 5)), "ab");
}

TEST(UrlEncode, EuroSignIsCodePage936) {
    EXPECT_EQ(url_encode("\x80"), "%80");
    EXPECT_EQ(url_encode("\x80", true), "%E2%82%AC");
}

TEST(UrlEncode, AgreesWithTheThreeStepRuleOnRandomBytes) {
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        std::string bytes(rng() % 40, '\0');
        for (char& c : bytes) c = static_cast<char>(rng() % 255 + 1);  // no zero bytes
        bool keep = rng() & 1;
        bool all = rng() & 2;
        ASSERT_EQ(url_encode(bytes, false, keep, all), reference_encode(bytes, keep, all)) << round;
        ByteBuffer utf8 = local_to_utf8_terminated(bytes);
        ASSERT_FALSE(utf8.empty());
        std::string utf8_bytes(utf8.begin(), utf8.end() - 1);
        ASSERT_EQ(url_encode(bytes, true, keep, all), reference_encode(utf8_bytes, keep, all))
            << round;
    }
}

TEST(UrlEncode, PumpsEventsWhileEncoding) {
    int pumps = 0;
    support::TestHooks hooks([&] { ++pumps; });
    // The pump is throttled, so only a long text is sure to reach it more than once.
    std::string long_text(4'000'000, ' ');
    LocalText out = url_encode(long_text);
    EXPECT_EQ(out.size(), long_text.size() * 3);
    EXPECT_GE(pumps, 1);
}

TEST(UrlEncode, HundredMegabytesOfMixedTextComplete) {
    std::string chunk = local("中文 abc-_.~ 关键词 ") + "\x80\xFF";
    std::string big;
    big.reserve(100'000'000);
    while (big.size() + chunk.size() <= 100'000'000) big += chunk;
    LocalText gbk = url_encode(big);
    EXPECT_EQ(gbk.substr(0, 13), "%D6%D0%CE%C4%");
    LocalText utf8 = url_encode(big, true);
    EXPECT_EQ(utf8.substr(0, 9), "%E4%B8%AD");
    EXPECT_GT(utf8.size(), gbk.size());
}

TEST(LocalToUtf8, EndsWithOneZeroByte) {
    EXPECT_EQ(local_to_utf8_terminated(""), ByteBuffer{0});
    EXPECT_EQ(local_to_utf8_terminated(local("中a")), (ByteBuffer{0xE4, 0xB8, 0xAD, 'a', 0}));
    EXPECT_EQ(local_to_utf8_terminated("\x80"), (ByteBuffer{0xE2, 0x82, 0xAC, 0}));
}

TEST(ListReplace, PairsActInOrderOnEarlierResults) {
    EXPECT_EQ(list_replace("abc", "a|x", "x|y"), "ybc");
    EXPECT_EQ(list_replace("a|b|c", "a|b|c", "x"), "x||");
    EXPECT_EQ(list_replace("a|b|c", "a|b|c", "x", false, true), "x|x|x");
    EXPECT_EQ(list_replace("abc", "a|b", "1|2|3|4"), "12c");
}

TEST(ListReplace, CaseCountSeparatorAndEmptyItems) {
    EXPECT_EQ(list_replace("AaA", "a", "b"), "bbb");
    EXPECT_EQ(list_replace("AaA", "a", "b", true), "AbA");
    EXPECT_EQ(list_replace("aaaa", "a", "b", false, false, "|", 2), "bbaa");
    EXPECT_EQ(list_replace("a,b", "a;;b", "1;;2", false, false, ";;"), "1,2");
    EXPECT_EQ(list_replace("a|b", "a|b", "1|2", false, false, ""), "1|2");
    EXPECT_EQ(list_replace("abc", "|b", "x|y"), "ayc");
}

TEST(ListReplace, MatchesOnlyAtCharacterBoundaries) {
    // "G" inside the character 0x81 0x47 is not a match; the one behind it is.
    EXPECT_EQ(list_replace("\x81GG", "g", "x"), "\x81Gx");
}

TEST(FillTemplate, EveryExactPlaceholderGetsTheKeyword) {
    EXPECT_EQ(fill_template("http://s/?q={*}&r={*}", local("中"), false),
              "http://s/?q=%D6%D0&r=%D6%D0");
    EXPECT_EQ(fill_template("http://s/?q={*}", local("中"), true), "http://s/?q=%E4%B8%AD");
    EXPECT_EQ(fill_template("http://s/?q={ * }", "a", false), "http://s/?q={ * }");
    EXPECT_EQ(fill_template("http://s/", "a", false), "http://s/");
}

}  // namespace
}  // namespace trasslo
