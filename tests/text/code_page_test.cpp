// The code-page layer: its table paths must give exactly what iconv gives, byte for byte,
// on any input; the strict conversion fails on bad input and nothing else.
#include "text/code_page.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <random>
#include <string>

namespace trasslo {
namespace {

// Lenient decoding the slow way: iconv, with one replacement per byte it rejects.
std::u16string iconv_decode(std::string_view bytes, const char* from, char16_t replacement) {
    iconv_t cd = iconv_open("UTF-16LE", from);
    std::u16string out;
    size_t at = 0;
    while (at < bytes.size()) {
        char* in = const_cast<char*>(bytes.data() + at);
        size_t in_left = bytes.size() - at;
        std::string buffer(in_left * 4 + 8, '\0');
        char* w = buffer.data();
        size_t w_left = buffer.size();
        const size_t rc = iconv(cd, &in, &in_left, &w, &w_left);
        for (char* p = buffer.data(); p + 1 < w; p += 2)
            out.push_back(static_cast<char16_t>(static_cast<unsigned char>(p[0]) |
                                                (static_cast<unsigned char>(p[1]) << 8)));
        at = bytes.size() - in_left;
        if (rc != static_cast<size_t>(-1)) break;
        out.push_back(replacement);
        ++at;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

// UTF-16 to UTF-8 through iconv, '?' for a unit it rejects (a lone surrogate).
std::string iconv_utf8(std::u16string_view units) {
    iconv_t cd = iconv_open("UTF-8", "UTF-16LE");
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
        std::string le;
        const bool pair = units[i] >= 0xD800 && units[i] < 0xDC00 && i + 1 < units.size() &&
                          units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000;
        for (size_t k = i; k <= i + (pair ? 1 : 0); ++k) {
            le.push_back(static_cast<char>(units[k] & 0xFF));
            le.push_back(static_cast<char>(units[k] >> 8));
        }
        char buffer[8];
        char* in = le.data();
        size_t in_left = le.size();
        char* w = buffer;
        size_t w_left = sizeof buffer;
        if (iconv(cd, &in, &in_left, &w, &w_left) == static_cast<size_t>(-1)) {
            out.push_back('?');
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        } else {
            out.append(buffer, w);
        }
        if (pair) ++i;
    }
    iconv_close(cd);
    return out;
}

TEST(CodePage, GbkTableDecodesEveryPairAsIconvDoes) {
    std::string all;
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        for (int trail = 0x00; trail <= 0xFF; ++trail) {
            // Each pair behind an ASCII byte, so that a rejected lead byte resynchronises.
            all += 'a';
            all += static_cast<char>(lead);
            all += static_cast<char>(trail);
        }
    }
    EXPECT_EQ(code_page_to_utf16(all, CodePage::gbk), iconv_decode(all, "CP936", u'?'));
    EXPECT_EQ(code_page_to_utf16("\x80", CodePage::gbk), u"\u20AC");  // the euro sign
    EXPECT_EQ(code_page_to_utf16("\xD6", CodePage::gbk), u"?");       // a truncated character
}

TEST(CodePage, GbkTableEncodesEveryUnitAsIconvDoes) {
    iconv_t cd = iconv_open("CP936", "UTF-16LE");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::u16string units;
    std::string expected;
    for (unsigned u = 0; u < 0x10000; ++u) {
        if (u >= 0xD800 && u < 0xE000) continue;
        char in[2] = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
        char out[8];
        char* in_ptr = in;
        char* out_ptr = out;
        size_t in_left = 2;
        size_t out_left = sizeof out;
        if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<size_t>(-1)) {
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            expected += '?';
        } else {
            expected.append(out, out_ptr);
        }
        units += static_cast<char16_t>(u);
    }
    iconv_close(cd);
    EXPECT_EQ(utf16_to_code_page(units, CodePage::gbk, '?'), expected);
    // Unit 0 is a byte of its own, not a unit without a form.
    EXPECT_EQ(utf16_to_code_page(std::u16string(1, u'\0'), CodePage::gbk, std::nullopt),
              std::string(1, '\0'));
    EXPECT_EQ(utf16_to_code_page(u"a\u0E01b", CodePage::gbk, std::nullopt), "a");
}

TEST(CodePage, GbkTableAgreesWithIconvOnRandomBytes) {
    std::mt19937 rng(11);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes(rng() % 24, '\0');
        for (char& c : bytes) c = static_cast<char>(rng() % 3 == 0 ? rng() % 128 : rng() % 256);
        ASSERT_EQ(code_page_to_utf16(bytes, CodePage::gbk), iconv_decode(bytes, "CP936", u'?'))
            << round;
    }
}

TEST(CodePage, Utf8EncodingAgreesWithIconvOnRandomUnits) {
    std::mt19937 rng(12);
    const char16_t edge_units[] = {0xD800, 0xDBFF, 0xDC00, 0xDFFF, 0x7F, 0x80,
                                   0x7FF,  0x800,  0xFFFF, 0xFFFD, 0,    0x4E2D};
    for (int round = 0; round < 3000; ++round) {
        std::u16string units(rng() % 12, u'\0');
        for (char16_t& u : units)
            u = rng() % 2 ? edge_units[rng() % std::size(edge_units)]
                          : static_cast<char16_t>(rng());
        ASSERT_EQ(utf16_to_code_page(units, CodePage::utf8, '?'), iconv_utf8(units)) << round;
    }
    // Without a default character the result ends before the first lone surrogate.
    EXPECT_EQ(utf16_to_code_page(u"a\xD800"
                                 "b",
                                 CodePage::utf8, std::nullopt),
              "a");
    EXPECT_EQ(utf16_to_code_page(u"\U0001F600", CodePage::utf8), "\xF0\x9F\x98\x80");
}

TEST(CodePage, StrictConversionToLocalTextFailsOnlyOnBadInput) {
    EXPECT_EQ(iconv_convert("\xE4\xB8\xAD\xE2\x82\xAC", "UTF-8", "GB18030"), "\xD6\xD0\x80");
    // Characters code page 936 lacks become '?', one per character, also above U+FFFF.
    EXPECT_EQ(iconv_convert("\xE0\xB8\x81\xF0\x9F\x98\x80x", "UTF-8", "GB18030"), "??x");
    EXPECT_EQ(iconv_convert("", "UTF-8", "GB18030"), "");
    for (const char* bad : {"a\xE4\xB8", "\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF"})
        EXPECT_EQ(iconv_convert(bad, "UTF-8", "GB18030"), "") << bad;
    // Long input goes through in chunks and fails wherever the bad byte stands.
    std::string long_text(300000, 'a');
    EXPECT_EQ(iconv_convert(long_text, "UTF-8", "GB18030"), long_text);
    long_text[250000] = '\x80';
    EXPECT_EQ(iconv_convert(long_text, "UTF-8", "GB18030"), "");
    EXPECT_EQ(iconv_convert(std::string("\x2D\x4E\xAC\x20", 4), "UTF-16LE", "GB18030"),
              "\xD6\xD0\x80");
}

// The strict route the slow way: iconv to UTF-16 (empty on any failure), then each
// character to code page 936 on its own, '?' where it has no form.
std::string strict_reference(std::string_view bytes) {
    iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
    std::string buffer(bytes.size() * 4 + 8, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t in_left = bytes.size();
    char* w = buffer.data();
    size_t w_left = buffer.size();
    const size_t rc = iconv(cd, &in, &in_left, &w, &w_left);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1)) return {};
    std::u16string units;
    for (char* p = buffer.data(); p + 1 < w; p += 2)
        units.push_back(static_cast<char16_t>(static_cast<unsigned char>(p[0]) |
                                              (static_cast<unsigned char>(p[1]) << 8)));
    iconv_t to_gbk = iconv_open("CP936", "UTF-16LE");
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
        const bool pair = units[i] >= 0xD800 && units[i] < 0xDC00;
        std::string le;
        for (size_t k = i; k <= i + (pair ? 1 : 0); ++k) {
            le.push_back(static_cast<char>(units[k] & 0xFF));
            le.push_back(static_cast<char>(units[k] >> 8));
        }
        char gbk[8];
        char* p = le.data();
        size_t p_left = le.size();
        char* g = gbk;
        size_t g_left = sizeof gbk;
        if (iconv(to_gbk, &p, &p_left, &g, &g_left) == static_cast<size_t>(-1)) {
            out.push_back('?');
            iconv(to_gbk, nullptr, nullptr, nullptr, nullptr);
        } else {
            out.append(gbk, g);
        }
        if (pair) ++i;
    }
    iconv_close(to_gbk);
    return out;
}

TEST(CodePage, StrictConversionAgreesWithTheUtf16RouteOnRandomInput) {
    const char* pieces[] = {"a",        "\xE4\xB8\xAD", "\xE2\x82\xAC",     "\xF0\x9F\x98\x80",
                            "\xD0\x96", "\xE0\xB8\x81", "\xED\xA0\x80",     "\xC0\x80",
                            "\xE4\xB8", "\x80",         "\xF4\x8F\xBF\xBF", "\xEF\xBF\xBF"};
    std::mt19937 rng(13);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes;
        for (int n = static_cast<int>(rng() % 8); n > 0; --n)
            bytes += pieces[rng() % (round % 2 ? std::size(pieces) : 6)];
        ASSERT_EQ(iconv_convert(bytes, "UTF-8", "GB18030"), strict_reference(bytes)) << bytes;
    }
}

// iconv is fed the input in slices; a character cut by a slice's end is no error.
TEST(CodePage, CharactersAcrossSliceBoundariesConvert) {
    for (size_t lead = 4090; lead <= 4100; ++lead) {
        SCOPED_TRACE(lead);
        const std::string ascii(lead, 'a');
        std::string utf8 = ascii;
        std::string gbk = ascii;
        for (int i = 0; i < 3; ++i) {
            utf8 += "\xE4\xB8\xAD\xF0\x9F\x98\x80";  // 中 and a character GBK lacks
            gbk += "\xD6\xD0?";
        }
        EXPECT_EQ(iconv_convert(utf8, "UTF-8", "GB18030"), gbk);
        EXPECT_EQ(iconv_convert(utf8, "UTF-8", "UTF-16LE").size(), lead * 2 + 3 * 6);
        const std::u16string units = code_page_to_utf16(utf8, CodePage::utf8);
        EXPECT_EQ(units.substr(lead), u"\u4E2D\U0001F600\u4E2D\U0001F600\u4E2D\U0001F600");
        EXPECT_EQ(code_page_to_utf16(ascii + "\xA4\xA4", CodePage::big5).substr(lead), u"\u4E2D");
        // A truncated character at the very end is still an error.
        EXPECT_EQ(iconv_convert(ascii + "\xE4\xB8", "UTF-8", "GB18030"), "");
    }
}

TEST(CodePage, StatefulDecoderHandsOverItsLastCharacter) {
    // In BIG5-HKSCS, 88 62 is E with circumflex and macron: two characters, held back until
    // the decoder knows nothing combines with them.
    EXPECT_EQ(iconv_convert("a\x88\x62", "BIG5-HKSCS", "UTF-8"), "a\xC3\x8A\xCC\x84");
    EXPECT_EQ(iconv_convert("a\x88\x66", "BIG5-HKSCS", "UTF-8"), "a\xC3\x8A");
    EXPECT_EQ(iconv_convert("a\x88\x66", "BIG5-HKSCS", "GB18030"), "a?");
}

}  // namespace
}  // namespace trasslo
