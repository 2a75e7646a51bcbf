// Lossless local text: GBK bytes for what GBK has, references for what it lacks, and back.
#include "text/lossless_text.h"

#include <gtest/gtest.h>

#include "text/url_encode.h"

namespace trasslo {
namespace {

struct LosslessRow {
    const char* utf8;
    const char* local_form;  // as UTF-8 where GBK has the characters
    bool lacks;
};

TEST(LosslessText, EachCharacterGbkLacksIsAReferenceAndComesBack) {
    const LosslessRow rows[] = {
        {"中文 abc", "中文 abc", false},
        {"한국어", "&#54620;&#44397;&#50612;", true},
        {"emoji 😀", "emoji &#128512;", true},
        {"naïve", "na&#239;ve", true},  // best fit is for the encoder, not the stored form
        {"𠀀字", "&#131072;字", true},
        {"&#65; &#20013;", "&#65; &#20013;", false},  // references of what GBK has stay text
        {"", "", false},
    };
    for (const LosslessRow& row : rows) {
        SCOPED_TRACE(row.utf8);
        const LocalText stored = lossless_from_utf8(row.utf8);
        EXPECT_EQ(stored, local(row.local_form));
        EXPECT_EQ(lossless_to_utf8(stored), row.utf8);
        EXPECT_EQ(has_characters_gbk_lacks(stored), row.lacks);
        EXPECT_EQ(lossless_from_utf16(lossless_to_utf16(stored)), stored);
    }
    // A GBK character whose second byte is '&' is not the start of a reference.
    const LocalText tricky = local("丂") + "#54620;";
    EXPECT_EQ(lossless_to_utf8(local("丂") + "&#54620;"), "丂한");
    EXPECT_FALSE(has_characters_gbk_lacks(tricky));
}

TEST(LosslessText, UnicodeFilesKeepEveryCharacter) {
    const std::string utf8 = "한국어\r\n中文\r\n";
    EXPECT_EQ(decode_lossless("\xEF\xBB\xBF" + utf8), lossless_from_utf8(utf8));
    EXPECT_EQ(decode_lossless(utf8), lossless_from_utf8(utf8));
    const std::string utf16le("\xFF\xFE\x5C\xD5\x2D\x4E", 6);  // BOM, 한, 中
    EXPECT_EQ(decode_lossless(utf16le), lossless_from_utf8("한中"));
    EXPECT_EQ(decode_lossless(local("中文")), local("中文"));  // GBK stays as it is
}

TEST(FillTemplate, CharactersGbkLacksReachUtf8EnginesExactlyAndGbkOnesByBestFit) {
    const LocalText keyword = lossless_from_utf8("한 😀");
    EXPECT_EQ(fill_template("http://s/?q={*}", keyword, true),
              "http://s/?q=%ED%95%9C%20%F0%9F%98%80");
    const LocalText gbk = fill_template("http://s/?q={*}", keyword, false);
    EXPECT_EQ(gbk, "http://s/?q=" + url_encode(lossless_to_gbk_best_fit(keyword)));
    EXPECT_EQ(gbk.find("%26%23"), std::string::npos);  // no reference sent
    EXPECT_EQ(lossless_to_gbk_best_fit(local("中文")), local("中文"));
}

}  // namespace
}  // namespace trasslo
