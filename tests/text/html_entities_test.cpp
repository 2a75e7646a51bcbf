#include "text/html_entities.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "text/url_encode.h"

namespace trasslo {
namespace {

TEST(NamedEntities, DecodeOnceInTableOrder) {
    EXPECT_EQ(decode_html_entities("Tom &amp; Jerry"), "Tom & Jerry");
    EXPECT_EQ(decode_html_entities("&amp;lt;"), "&lt;");
    EXPECT_EQ(decode_html_entities("a&nbsp;b&lt;c&gt;&quot;"), "a b<c>\"");
    EXPECT_EQ(decode_html_entities("&ndash;&mdash;&sim;&hellip;"), local("–—～…"));
    EXPECT_EQ(decode_html_entities("&perp;&oplus;&there4;&middot;"), local("⊥⊕∴·"));
}

TEST(NamedEntities, CaseIsFoldedExceptForThePrimes) {
    EXPECT_EQ(decode_html_entities("&QUOT;&Lt;&Nbsp;"), "\"< ");
    EXPECT_EQ(decode_html_entities("&prime;"), local("′"));
    EXPECT_EQ(decode_html_entities("&Prime;"), local("″"));
    EXPECT_EQ(decode_html_entities("&PRIME;"), local("′"));
}

TEST(NamedEntities, UnknownAndUnterminatedNamesStay) {
    EXPECT_EQ(decode_html_entities("&copy; &lt &"), "&copy; &lt &");
    EXPECT_EQ(decode_html_entities(""), "");
}

TEST(NamedEntities, MatchOnlyAtCharacterBoundaries) {
    // 0x81 followed by '&' is one (odd) double-byte character.
    EXPECT_EQ(decode_html_entities("\x81&lt;", true), "\x81&lt;");
    EXPECT_EQ(decode_html_entities(local("中") + "&lt;", true), local("中") + "<");
}

TEST(NamedEntities, OnePassAgreesWithReplacingTheListsInTurn) {
    // The table as two lists, replaced one pair after another; the primes are left out of
    // the random texts, since the list rule alone would not tell them apart.
    const LocalText references =
        "&ndash;|&mdash;|&ldquo;|&rdquo;|&nbsp;|&lt;|&gt;|&quot;|&times;|&divide;|&middot;|"
        "&hellip;|&lsquo;|&rsquo;|&permil;|&larr;|&uarr;|&rarr;|&darr;|&radic;|&prop;|"
        "&infin;|&ang;|&and;|&or;|&cap;|&cup;|&int;|&there4;|&sim;|&asymp;|&ne;|&equiv;|&le;|"
        "&ge;|&oplus;|&perp;|&amp;";
    const LocalText characters =
        local("–|—|“|”| |<|>|\"|×|÷|·|…|‘|’|‰|←|↑|→|↓|√|∝|∞|∠|∧|∨|∩|∪|∫|∴|～|≈|≠|≡|≤|≥|⊕|⊥|&");
    const char* pieces[] = {"&", "amp;", "lt;",  "Gt;",      "&nbsp;", "and", "ang;", "a",
                            ";", " ",    "\x81", "\xD6\xD0", "&AMP;",  "or;", "#",    "&sim"};
    std::mt19937 rng(3);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        int n = static_cast<int>(rng() % 12);
        for (int i = 0; i < n; ++i) text += pieces[rng() % std::size(pieces)];
        ASSERT_EQ(decode_html_entities(text, true), list_replace(text, references, characters))
            << text;
    }
}

TEST(NumericReferences, DecimalFromLastToFirst) {
    EXPECT_EQ(decode_html_entities("&#20013;&#25991;"), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(decode_html_entities("&#65"), "&#65");
    EXPECT_EQ(decode_html_entities("&#65; &#66"), "A &#66");
    EXPECT_EQ(decode_html_entities("&#65;&#66;&#67;"), "ABC");
    EXPECT_EQ(decode_html_entities("x&#;y"), "xy");
    EXPECT_EQ(decode_html_entities("&# 65;&#+66;&#67abc;"), "ABC");
    EXPECT_EQ(decode_html_entities("&#65;", true), "&#65;");
}

TEST(NumericReferences, TheSemicolonMayComeFromALaterReference) {
    // &#59; is ';' and closes the reference in front of it.
    EXPECT_EQ(decode_html_entities("&#65&#59;"), "A");
    // Text behind a reference without ';' is swallowed up to that ';'.
    EXPECT_EQ(decode_html_entities("&#66x&#59;z"), "Bz");
    // A ';' used up by a later reference is not there for an earlier one.
    EXPECT_EQ(decode_html_entities("&#66x&#67y;z"), "&#66xCz");
}

TEST(NumericReferences, AmpersandReferencesAreDecodedOnceMore) {
    EXPECT_EQ(decode_html_entities("&amp;#65;"), "A");
    EXPECT_EQ(decode_html_entities("&#38;#65;"), "&#65;");
}

TEST(NumericReferences, HexadecimalDecodes) {
    EXPECT_EQ(decode_html_entities("&#x4E2D;"), local("中"));
    EXPECT_EQ(decode_html_entities("&#X27;"), "'");
    EXPECT_EQ(decode_html_entities("a&#x41;b"), "aAb");
    EXPECT_EQ(decode_html_entities("a&#x;b&#xZZ;c"), "abc");
}

TEST(NumericReferences, ValuesThatAreNoCharacterAreRemoved) {
    EXPECT_EQ(decode_html_entities("a&#0;b"), "ab");
    EXPECT_EQ(decode_html_entities("a&#xD800;b&#57343;c"), "abc");
    EXPECT_EQ(decode_html_entities("a&#1114112;b&#x110000;c"), "abc");
    EXPECT_EQ(decode_html_entities("a&#-65;b"), "ab");
    EXPECT_EQ(decode_html_entities("a&#99999999999999999999999;b"), "ab");
}

TEST(NumericReferences, AboveTheBasicPlaneGivesOneCharacter) {
    EXPECT_EQ(decode_html_entities("&#128512;"), "?");
    EXPECT_EQ(decode_html_entities("&#x1F600;x"), "?x");
    EXPECT_EQ(decode_html_entities("&#8364;"), "\x80");  // the euro sign of code page 936
    EXPECT_EQ(decode_html_entities("&#1234;"), "?");     // Cyrillic Ӓ: no GBK form
}

TEST(EntityBadInput, RandomBytesAndLongTexts) {
    std::mt19937 rng(9);
    const char alphabet[] = "&#;x0123456789abAB \x81\xD6";
    for (int round = 0; round < 2000; ++round) {
        std::string text(rng() % 30, ' ');
        for (char& c : text) c = alphabet[rng() % (sizeof alphabet - 1)];
        LocalText out = decode_html_entities(text);
        EXPECT_LE(out.size(), text.size()) << text;
    }
    // Many references and many unterminated ones: both must stay linear.
    std::string refs;
    refs.reserve(100'000'000);
    while (refs.size() < 100'000'000) refs += "&#20013;&amp;";
    LocalText decoded = decode_html_entities(refs);
    EXPECT_EQ(decoded.size(), refs.size() / 13 * 3);
    EXPECT_EQ(decoded.substr(0, 3), local("中") + "&");

    std::string open(10'000'000, '#');
    for (size_t i = 0; i < open.size(); i += 2) open[i] = '&';
    EXPECT_EQ(decode_html_entities(open), open);
}

}  // namespace
}  // namespace trasslo
