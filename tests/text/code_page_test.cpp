// The code-page layer: code pages 936 and 950 convert exactly as Microsoft's best-fit files
// say, row by row; UTF-8 exactly as iconv does; the strict conversion fails on bad input and
// nothing else.
#include "text/code_page.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace trasslo {
namespace {

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

// The rows of one of Microsoft's best-fit files, read the simple way.
struct BestFitRows {
    std::map<std::string, char16_t> units;  // MBTABLE and DBCSTABLE: bytes -> unit
    std::map<char16_t, std::string> forms;  // WCTABLE: unit -> bytes
    std::vector<bool> is_trail = std::vector<bool>(256);
    size_t wctable_count = 0;  // the count the WCTABLE tag gives
};

BestFitRows read_best_fit(const std::string& name) {
    std::ifstream in(std::string(TRASSLO_SOURCE_DIR) + "/data/windows-code-pages/" + name);
    BestFitRows rows;
    std::string table;
    std::vector<unsigned> leads;  // lead bytes whose DBCSTABLE is still to come
    unsigned lead = 0;
    for (std::string line; std::getline(in, line) && line.rfind("ENDCODEPAGE", 0) != 0;) {
        std::istringstream fields(line.substr(0, line.find(';')));
        std::string first, second;
        if (!(fields >> first >> second) || first == "CODEPAGE" || first == "CPINFO") continue;
        if (first == "WCTABLE") rows.wctable_count = std::stoul(second);
        if (first == "DBCSTABLE") {
            lead = leads.front();
            leads.erase(leads.begin());
        }
        if (first[0] != '0') {
            table = first;
            continue;
        }
        const unsigned from = std::stoul(first, nullptr, 16);
        const unsigned to = std::stoul(second, nullptr, 16);
        if (table == "DBCSRANGE") {
            for (unsigned b = from; b <= to; ++b) leads.push_back(b);
        } else if (table == "MBTABLE") {
            rows.units[std::string(1, static_cast<char>(from))] = static_cast<char16_t>(to);
        } else if (table == "DBCSTABLE") {
            rows.units[{static_cast<char>(lead), static_cast<char>(from)}] =
                static_cast<char16_t>(to);
            rows.is_trail[from] = true;
        } else if (table == "WCTABLE") {
            rows.forms[static_cast<char16_t>(from)] =
                to > 0xFF ? std::string{static_cast<char>(to >> 8), static_cast<char>(to & 0xFF)}
                          : std::string(1, static_cast<char>(to));
        }
    }
    return rows;
}

// "AA A1": bytes in hex, for failure messages.
std::string hex(std::string_view bytes) {
    std::string out;
    for (unsigned char b : bytes) {
        char two[4];
        std::snprintf(two, sizeof two, "%02X", b);
        out += (out.empty() ? "" : " ") + std::string(two);
    }
    return out;
}

// Every row of both files, both ways, and nothing beyond them: a pair no row has is one '?'
// when its second byte is a trail byte of the page, else '?' for the lead byte and the second
// byte on its own; a unit without a WCTABLE row has no form.
TEST(CodePage, TablesAreMicrosoftsBestFitFilesRowByRow) {
    for (const auto& [name, page] : {std::pair{"bestfit936.txt", CodePage::gbk},
                                     std::pair{"bestfit950.txt", CodePage::big5}}) {
        SCOPED_TRACE(name);
        const BestFitRows rows = read_best_fit(name);
        ASSERT_GT(rows.units.size(), 19000u);
        ASSERT_EQ(rows.forms.size(), rows.wctable_count);
        std::vector<std::string> wrong;
        auto check = [&](bool ok, const std::string& what) {
            if (!ok && wrong.size() < 10) wrong.push_back(what);
        };
        for (const auto& [bytes, unit] : rows.units) {
            check(code_page_to_utf16(bytes, page) == std::u16string(1, unit), hex(bytes));
        }
        for (unsigned lead = 0x80; lead <= 0xFF; ++lead) {
            const std::string alone(1, static_cast<char>(lead));
            if (rows.units.count(alone)) continue;  // no lead byte
            check(code_page_to_utf16(alone, page) == u"?", hex(alone));
            for (unsigned second = 0; second <= 0xFF; ++second) {
                const std::string pair = alone + static_cast<char>(second);
                if (rows.units.count(pair)) continue;
                const auto single = rows.units.find(std::string(1, static_cast<char>(second)));
                const std::u16string expected =
                    rows.is_trail[second]
                        ? u"?"
                        : u"?" +
                              std::u16string(1, single != rows.units.end() ? single->second : u'?');
                check(code_page_to_utf16(pair, page) == expected, hex(pair));
            }
        }
        for (unsigned unit = 0; unit <= 0xFFFF; ++unit) {
            const std::u16string one(1, static_cast<char16_t>(unit));
            const auto row = rows.forms.find(static_cast<char16_t>(unit));
            const std::string expected = row != rows.forms.end() ? row->second : "";
            check(utf16_to_code_page(one, page, std::nullopt) == expected,
                  "U+" + hex(std::string{static_cast<char>(unit >> 8),
                                         static_cast<char>(unit & 0xFF)}));
        }
        EXPECT_TRUE(wrong.empty()) << ::testing::PrintToString(wrong);
    }
}

// The cases Windows is known for, in both double-byte pages.
TEST(CodePage, DoubleBytePagesAsWindowsConvertsThem) {
    struct Decoding {
        CodePage page;
        std::string bytes;
        std::u16string units;
    };
    const Decoding decodings[] = {
        {CodePage::gbk, "\xAA\xA1\xD6\xD0", u"\uE000\u4E2D"},  // a user-defined code, then 中
        {CodePage::gbk, "\x80", u"\u20AC"},                    // the euro sign
        {CodePage::gbk, "\xFF", u"\uF8F5"},
        {CodePage::gbk, "\xD6", u"?"},                     // a truncated character
        {CodePage::gbk, "\x81\x30\xD6\xD0", u"?0\u4E2D"},  // no trail byte: the 0 stays
        {CodePage::gbk, "\x81\xFF", u"?\uF8F5"},           // nor is 0xFF one
        {CodePage::gbk, "\xD6\xD0\x80", u"\u4E2D\u20AC"},  // a lone trail byte: €
        {CodePage::big5, "\xA4\xA4\x80\xFF", u"\u4E2D\u0080\uF8F8"},
        {CodePage::big5, "\xA3\xC0\xA4\xA4", u"?\u4E2D"},  // a trail byte, but no row
        {CodePage::big5, "\x81\x40", u"\uEEB8"},           // user-defined
    };
    for (const Decoding& d : decodings) {
        EXPECT_EQ(code_page_to_utf16(d.bytes, d.page), d.units) << hex(d.bytes);
    }
    struct Encoding {
        CodePage page;
        std::u16string units;
        std::optional<char> default_char;
        std::string bytes;
    };
    const Encoding encodings[] = {
        {CodePage::gbk, u"£10", '?',
         "\xA1\xEA"
         "10"},                                                     // best fit: ￡
        {CodePage::gbk, u"\u00E9\u00C9", '?', "\xA8\xA6\xA8\xA6"},  // é, É as é
        {CodePage::gbk, u"\u00A6", '?', "|"},                       // ¦
        {CodePage::gbk, u"\u20AC\uE000", '?', "\x80\xAA\xA1"},
        {CodePage::gbk, u"\U0001F600", '?', "?"},  // one default character for a pair
        {CodePage::gbk, std::u16string(1, u'\0'), std::nullopt, std::string(1, '\0')},
        {CodePage::gbk, u"a\u0E01b", std::nullopt, "a"},  // ends before what the page lacks
        {CodePage::big5, u"\u4E2D\u20AC\u00E9", '?',
         "\xA4\xA4\xA3\xE1"
         "e"},
    };
    for (const Encoding& e : encodings) {
        EXPECT_EQ(utf16_to_code_page(e.units, e.page, e.default_char), e.bytes) << hex(e.bytes);
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
    // Code page 936 lacks Ê; best fit makes it ê.
    EXPECT_EQ(iconv_convert("a\x88\x66", "BIG5-HKSCS", "GB18030"), "a\xA8\xBA");
}

}  // namespace
}  // namespace trasslo
