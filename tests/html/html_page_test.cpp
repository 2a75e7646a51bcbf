// A result page read with the HTML parser: the echo rule over its visible text, and the robots
// meta tags that mark it noindex.
#include "html/html_page.h"

#include <gtest/gtest.h>

#include "html/keyword_echo.h"

namespace trasslo {
namespace {

TEST(HtmlPage, VisibleTextIsTitleAndBodyWithBlocksApartAndWhiteSpaceCollapsed) {
    EXPECT_EQ(read_html_page("<title>A</title><p>b&amp;<b>c</b></p><p>d</p>").text, "A b&c d");
    EXPECT_EQ(read_html_page(" \n<html><body>\t x<br>y&nbsp; z </body>").text, "x y z");
    EXPECT_EQ(read_html_page("").text, "");
}

struct EchoRow {
    const char* name;
    const char* html;  // UTF-8
    const char* keyword;
    bool echoed;
};

class EchoRule : public ::testing::TestWithParam<EchoRow> {};

TEST_P(EchoRule, KeywordInTheVisibleTextOnly) {
    const EchoRow& row = GetParam();
    EXPECT_EQ(text_echoes_keyword(read_html_page(row.html).text, row.keyword), row.echoed)
        << read_html_page(row.html).text;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EchoRule,
    ::testing::Values(
        EchoRow{"InTheTitle", "<title>结果：关键词</title><body>无</body>", "关键词", true},
        EchoRow{"InTheBodyWithEntities", "<p>Tom &amp; Jerry &#x4E2D;</p>", "Tom & Jerry 中", true},
        EchoRow{"AcrossInlineTags", "<p>关<b>键</b><a href=x>词</a></p>", "关键词", true},
        EchoRow{"AsciiCaseBlindAndSpaceRuns", "<p>Tandel\n\t  TRASSLO</p>", "tandel   trasslo",
                true},
        EchoRow{"NoBreakSpaceIsSpace", "<p>a&nbsp;b</p>", "a b", true},
        EchoRow{"BrokenMarkup", "<p>unclosed <b>关键词<div", "关键词", true},
        EchoRow{"OnlyTheSearchBoxValue", "<form><input name=q value='关键词'></form>", "关键词",
                false},
        EchoRow{"OnlyInATextArea", "<textarea name=q>关键词</textarea>", "关键词", false},
        EchoRow{"OnlyInAttributes", "<img alt='关键词' title='关键词'>", "关键词", false},
        EchoRow{"OnlyInScriptStyleAndComment",
                "<script>var q='关键词'</script><style>/*关键词*/</style><!--关键词-->", "关键词",
                false},
        EchoRow{"NotAcrossBlocks", "<p>ab</p><p>cd</p>", "bc", false},
        EchoRow{"NonAsciiLettersKeepTheirCase", "<p>ÄBC</p>", "äbc", false},
        EchoRow{"EmptyKeywordShowsNothing", "<p>text</p>", " ", false}),
    [](const auto& info) { return std::string(info.param.name); });

struct NoindexRow {
    const char* name;
    const char* html;
    bool noindex;
};

class MetaRobots : public ::testing::TestWithParam<NoindexRow> {};

TEST_P(MetaRobots, NoindexForEveryCrawlerOrOurs) {
    EXPECT_EQ(read_html_page(GetParam().html).noindex, GetParam().noindex);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MetaRobots,
    ::testing::Values(
        NoindexRow{"Robots", "<head><meta name=robots content=noindex></head>", true},
        NoindexRow{"CaseFoldedList", "<meta name=ROBOTS content='NoIndex, follow'>", true},
        NoindexRow{"GooglebotNone", "<meta name=googlebot content=none>", true},
        NoindexRow{"Baiduspider", "<meta name=Baiduspider content='noarchive noindex'>", true},
        NoindexRow{"InTheBody", "<body><p>x</p><meta name=robots content=noindex></body>", true},
        NoindexRow{"AnotherCrawler", "<meta name=bingbot content=noindex>", false},
        NoindexRow{"IndexFollow", "<meta name=robots content='index, follow'>", false},
        NoindexRow{"NofollowOnly", "<meta name=robots content=nofollow>", false},
        NoindexRow{"NoContent", "<meta name=robots>", false},
        NoindexRow{"OnlyInText", "<p>meta name=robots content=noindex</p>", false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace trasslo
