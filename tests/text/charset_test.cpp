#include "text/charset.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "support/temp_dir.h"
#include "text/code_page.h"
#include "text/url_encode.h"

using trasslo::support::TempDir;
using trasslo::support::write_file_bytes;

namespace trasslo {
namespace {

std::string utf16le(std::u16string_view units) {
    std::string out;
    for (char16_t u : units) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
    }
    return out;
}

std::string utf16be(std::u16string_view units) {
    std::string out;
    for (char16_t u : units) {
        out.push_back(static_cast<char>(u >> 8));
        out.push_back(static_cast<char>(u & 0xFF));
    }
    return out;
}

TEST(DecodeToLocalText, ByteOrderMarksPickTheCharsetAndAreDropped) {
    DecodedText utf8 = decode_to_local_text(
        "\xEF\xBB\xBF"
        "\xE4\xB8\xAD"
        "a");
    EXPECT_EQ(utf8.text, local("中a"));
    EXPECT_EQ(utf8.code, 2);

    DecodedText le = decode_to_local_text("\xFF\xFE" + utf16le(u"中文x"));
    EXPECT_EQ(le.text, local("中文x"));
    EXPECT_EQ(le.code, 3);

    DecodedText be = decode_to_local_text("\xFE\xFF" + utf16be(u"中文x"));
    EXPECT_EQ(be.text, local("中文x"));
    EXPECT_EQ(be.code, 4);
}

TEST(DecodeToLocalText, MetaDeclarationsInEveryQuotingForm) {
    const std::string body = "<body>\xE4\xB8\xAD</body>";
    for (const char* meta :
         {"<meta charset='utf-8'>", "<meta charset=\"UTF-8\">",
          "<META http-equiv=Content-Type content=\"text/html; charset=utf-8\">"}) {
        SCOPED_TRACE(meta);
        DecodedText d = decode_to_local_text(std::string("<html><head>") + meta + "</head>" + body);
        EXPECT_EQ(d.code, 2);
        EXPECT_NE(d.text.find(local("中")), std::string::npos);
    }
    // 中 in Big5 is A4 A4.
    const std::string big5_body = "<body>\xA4\xA4</body>";
    EXPECT_EQ(
        decode_to_local_text("<HEAD><META CONTENT=\"text/html; charset=BIG5\"></HEAD>" + big5_body)
            .code,
        5);
    for (const char* meta : {"<meta charset=\"Big5-HKSCS\">", "<meta charset='big5-hkscs'>"}) {
        SCOPED_TRACE(meta);
        DecodedText d = decode_to_local_text(std::string("<head>") + meta + "</head>" + big5_body);
        EXPECT_EQ(d.code, 6);
        EXPECT_NE(d.text.find(local("中")), std::string::npos);
    }
    // Unquoted, the HKSCS name already contains "charset=Big5".
    EXPECT_EQ(decode_to_local_text("<head><meta charset=Big5-HKSCS></head>" + big5_body).code, 5);
}

TEST(DecodeToLocalText, Gb2312PageComesBackRawWithCodeOne) {
    const std::string page =
        "<html><head><meta charset=gb2312><title>" + local("中文标题") + "</title></head></html>";
    DecodedText d = decode_to_local_text(page);
    EXPECT_EQ(d.text, page);
    EXPECT_EQ(d.code, 1);
}

TEST(DecodeToLocalText, Utf8IsFoundByTrialAndAsciiStaysAsItIs) {
    DecodedText utf8 = decode_to_local_text("<p>\xE4\xB8\xAD\xE6\x96\x87</p>");
    EXPECT_EQ(utf8.text, "<p>" + local("中文") + "</p>");
    EXPECT_EQ(utf8.code, 2);
    // What code page 936 lacks takes Windows' best fit: É as é, £ as ￡.
    DecodedText fitted = decode_to_local_text("<title>\xC3\xA9\xC3\x89 \xC2\xA3</title>");
    EXPECT_EQ(fitted.text, "<title>\xA8\xA6\xA8\xA6 \xA1\xEA</title>");

    DecodedText ascii = decode_to_local_text("plain <b>ascii</b> text");
    EXPECT_EQ(ascii.text, "plain <b>ascii</b> text");
    EXPECT_EQ(ascii.code, 1);

    DecodedText empty = decode_to_local_text("");
    EXPECT_EQ(empty.text, "");
    EXPECT_EQ(empty.code, 1);
}

TEST(DecodeToLocalText, RequestedCodes) {
    // Code 3 drops two bytes whether or not they are a mark.
    DecodedText three = decode_to_local_text("xy" + utf16le(u"ab"), 3);
    EXPECT_EQ(three.text, "ab");
    EXPECT_EQ(three.code, 3);
    EXPECT_EQ(decode_to_local_text(utf16be(u"abc"), 4).text, "bc");
    // Code 2 skips a mark only when there is one.
    EXPECT_EQ(decode_to_local_text("\xEF\xBB\xBF"
                                   "ab",
                                   2)
                  .text,
              "ab");
    EXPECT_EQ(decode_to_local_text("ab", 2).text, "ab");
    // Codes outside 0..6 behave like 1.
    EXPECT_EQ(decode_to_local_text(local("中"), 9).text, local("中"));
    EXPECT_EQ(decode_to_local_text(local("中"), 9).code, 1);
    EXPECT_EQ(decode_to_local_text("\xE4\xB8\xAD", -3).code, 2);
    // Big5 by request.
    EXPECT_EQ(decode_to_local_text("\xA4\xA4", 5).text, local("中"));
}

TEST(DecodeToLocalText, EuroSignFollowsCodePage936BothWays) {
    DecodedText d = decode_to_local_text("\xE2\x82\xAC 5");
    EXPECT_EQ(d.text, "\x80 5");
    EXPECT_EQ(d.code, 2);
    ByteBuffer back = local_to_utf8_terminated(d.text);
    EXPECT_EQ(std::string(back.begin(), back.end()), std::string("\xE2\x82\xAC 5\0", 6));
}

TEST(DecodeToLocalText, FallbacksTakeOverWhenTheStrictConversionFails) {
    // A truncated UTF-8 page declared as UTF-8: the strict conversion fails, the lenient one
    // keeps what is good.
    DecodedText utf8 = decode_to_local_text(
        "\xEF\xBB\xBF"
        "ab\xE4\xB8",
        0);
    EXPECT_EQ(utf8.code, 2);
    EXPECT_EQ(utf8.text.substr(0, 2), "ab");
    // Odd-length UTF-16: the last lone byte is dropped, the rest decoded.
    DecodedText le = decode_to_local_text("\xFF\xFE" + utf16le(u"中a") + "x");
    EXPECT_EQ(le.text, local("中a"));
    DecodedText be = decode_to_local_text("\xFE\xFF" + utf16be(u"中a") + "x");
    EXPECT_EQ(be.text, local("中a"));
    // A lone surrogate has no GBK form.
    DecodedText lone = decode_to_local_text("\xFF\xFE" + utf16le(u"a\xD800"
                                                                 u"b"));
    EXPECT_EQ(lone.text, "a?b");
}

TEST(DecodeToLocalText, ZeroBytesEndTheText) {
    EXPECT_EQ(decode_to_local_text(std::string("ab\0cd", 5)).text, "ab");
    EXPECT_EQ(
        decode_to_local_text("\xFF\xFE" + utf16le(u"ab") + std::string(2, '\0') + utf16le(u"cd"))
            .text,
        "ab");
}

TEST(DecodeFileToLocalText, ReadsFilesAndReportsMissingOnes) {
    TempDir dir;
    auto path = dir.path() / "list.txt";
    write_file_bytes(path,
                     "\xEF\xBB\xBF"
                     "1|0|\xE4\xB8\xAD|http://x/{*}\r\n");
    DecodedText d = decode_file_to_local_text(path);
    EXPECT_EQ(d.text, "1|0|" + local("中") + "|http://x/{*}\r\n");
    EXPECT_EQ(d.code, 2);
    DecodedText missing = decode_file_to_local_text(dir.path() / "none.txt");
    EXPECT_EQ(missing.text, "");
    EXPECT_EQ(missing.code, 0);
}

TEST(DecodeBytesToLocalText, BufferAndViewAgree) {
    std::string bytes = "<head><meta charset=utf-8></head>\xE4\xB8\xAD";
    ByteBuffer buffer(bytes.begin(), bytes.end());
    EXPECT_EQ(decode_bytes_to_local_text(buffer, 0), decode_bytes_to_local_text(bytes, 0));
    EXPECT_EQ(decode_bytes_to_local_text(bytes, 0),
              "<head><meta charset=utf-8></head>" + local("中"));
}

TEST(DetectMetaCharset, FindsTheFirstDeclaringTag) {
    EXPECT_EQ(detect_meta_charset("<head><meta name=x><meta charset='UTF-8'></head>").meta_code, 1);
    EXPECT_EQ(detect_meta_charset("<meta><meta charset=big5>").meta_code, 2);
    MetaCharset none = detect_meta_charset("<head><meta charset=gbk></head><meta charset=utf-8>");
    EXPECT_FALSE(none.found);
    EXPECT_EQ(none.meta_code, 0);
    // Without a head section the whole text is searched.
    EXPECT_TRUE(detect_meta_charset("<meta charset=\"utf-8\">").found);
    EXPECT_FALSE(detect_meta_charset("charset=utf-8").found);
    EXPECT_FALSE(detect_meta_charset("<meta charset=utf-8").found);
}

TEST(Fallbacks, LenientConversions) {
    EXPECT_EQ(utf8_to_local("a\xE4\xB8\xAD\xFF"
                            "b"),
              "a" + local("中") + "?b");
    EXPECT_EQ(utf8_to_local("\xF0\x9F\x98\x80"), "?");
    EXPECT_EQ(utf16_to_local(utf16le(u"中\U0001F600x")), local("中") + "?x");
    EXPECT_EQ(utf16_to_local(utf16le(u"a") + std::string(2, '\0') + "b"), "a");
    EXPECT_EQ(utf16_to_local("a"), "");
    // Big5 stops at the first character GBK lacks: A1 45 is U+2027, which GBK has not.
    EXPECT_EQ(big5_to_local("\xA4\xA4"
                            "a"),
              local("中") + "a");
    EXPECT_EQ(big5_to_local("a\xA1\x45"
                            "b"),
              "a");
    EXPECT_EQ(big5_to_local(std::string("\xA4\xA4\0\xA4\xA4", 5)), local("中"));
}

TEST(IconvConvert, StrictAboutBadInput) {
    EXPECT_EQ(iconv_convert("\xE4\xB8\xAD", "UTF-8", "GB18030"), local("中"));
    EXPECT_EQ(iconv_convert("\xE4\xB8", "UTF-8", "GB18030"), "");
    EXPECT_EQ(iconv_convert("a\xFF", "UTF-8", "GB18030"), "");
    EXPECT_EQ(iconv_convert("\xE2\x82\xAC", "UTF-8", "GB18030"), "\x80");
    EXPECT_EQ(iconv_convert("\xF0\x9F\x98\x80", "UTF-8", "GB18030"), "?");
    EXPECT_EQ(iconv_convert("x", "NO-SUCH-CHARSET", "GB18030"), "");
}

// Random, truncated and huge inputs: every decoder gives some text and returns.
TEST(DecodeBadInput, RandomBytesThroughEveryCode) {
    std::mt19937 rng(11);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(rng() % 64, '\0');
        for (char& c : bytes) c = static_cast<char>(rng());
        for (int code = 0; code <= 7; ++code) {
            DecodedText d = decode_to_local_text(bytes, code);
            EXPECT_GE(d.code, 1);
            EXPECT_LE(d.code, 6);
            EXPECT_EQ(d.text.find('\0'), std::string::npos);
        }
        (void)utf8_to_local(bytes);
        (void)utf16_to_local(bytes);
        (void)big5_to_local(bytes);
    }
}

TEST(DecodeBadInput, RawFallbackKeepsEveryByteUpToTheFirstZero) {
    std::mt19937 rng(5);
    std::string bytes(10'000'000, '\0');
    for (char& c : bytes) c = static_cast<char>(rng() % 255 + 1);
    bytes[0] = '\x81';  // neither a mark nor valid UTF-8
    bytes[1] = '\x40';  // and in Big5, with 0x81, a user-defined code
    DecodedText d = decode_to_local_text(bytes);
    EXPECT_EQ(d.code, 1);
    EXPECT_EQ(d.text, bytes);
    EXPECT_FALSE(utf8_to_local(bytes).empty());
    EXPECT_FALSE(utf16_to_local(bytes).empty());
    // The user-defined code decodes to a private-use character that GBK lacks: the Big5 text
    // ends before it.
    EXPECT_EQ(big5_to_local(bytes), "");
}

TEST(DecodeBadInput, HundredMegabytesOfUtf8Html) {
    std::string page = "<html><head><meta charset=\"utf-8\"><title>t</title></head><body>";
    const std::string line = "\xE4\xB8\xAD\xE6\x96\x87 text <meta x> & more\n";
    page.reserve(100'000'000 + line.size());
    while (page.size() < 100'000'000) page += line;
    DecodedText d = decode_to_local_text(page);
    EXPECT_EQ(d.code, 2);
    EXPECT_LT(d.text.size(), page.size());
    EXPECT_EQ(d.text.substr(d.text.size() - 8), " & more\n");
}

}  // namespace
}  // namespace trasslo
