// The robots.txt matcher: which group a crawler obeys, and which rule decides, case by case.
#include "check/robots_rules.h"

#include <gtest/gtest.h>

namespace trasslo {
namespace {

struct RobotsCase {
    const char* name;
    const char* robots;
    const char* agent;
    const char* path;
    bool allowed;
};

void PrintTo(const RobotsCase& c, std::ostream* out) {
    *out << c.name;
}

class RobotsMatching : public ::testing::TestWithParam<RobotsCase> {};

TEST_P(RobotsMatching, DecidesAsTheStandardSays) {
    const RobotsCase& c = GetParam();
    EXPECT_EQ(RobotsRules::parse(c.robots).allows(c.agent, c.path), c.allowed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RobotsMatching,
    ::testing::Values(
        RobotsCase{"EmptyFileAllows", "", "Googlebot", "/s?q=1", true},
        RobotsCase{"StarGroupDisallowsAll", "User-agent: *\nDisallow: /\n", "Googlebot", "/s?q=1",
                   false},
        RobotsCase{"RobotsTxtItselfAlwaysAllowed", "User-agent: *\nDisallow: /\n", "Googlebot",
                   "/robots.txt", true},
        RobotsCase{"LongerAllowWins", "User-agent: *\nDisallow: /s\nAllow: /s?q=\n", "Googlebot",
                   "/s?q=1", true},
        RobotsCase{"LongerDisallowWins", "User-agent: *\nAllow: /s\nDisallow: /s?q=\n", "Googlebot",
                   "/s?q=1", false},
        RobotsCase{"AllowWinsATie", "User-agent: *\nDisallow: /s\nAllow: /s\n", "Googlebot",
                   "/s?q=1", true},
        RobotsCase{"StarMatchesAnyRun", "User-agent: *\nDisallow: /*?q=\n", "Googlebot",
                   "/search/x?q=1", false},
        RobotsCase{"StarNeedsTheRest", "User-agent: *\nDisallow: /*?q=\n", "Googlebot",
                   "/search?w=1", true},
        RobotsCase{"DollarEndsThePath", "User-agent: *\nDisallow: /*.php$\n", "Googlebot", "/a.php",
                   false},
        RobotsCase{"DollarRefusesMore", "User-agent: *\nDisallow: /*.php$\n", "Googlebot",
                   "/a.php?q=1", true},
        RobotsCase{"DollarAfterStarsNeedsTheTailAtTheEnd", "User-agent: *\nDisallow: /*a*ab$\n",
                   "Googlebot", "/xaxabab", false},
        RobotsCase{"DollarInsideIsAnOctet", "User-agent: *\nDisallow: /a$b\n", "Googlebot", "/a$bc",
                   false},
        RobotsCase{"PiecesDoNotOverlap", "User-agent: *\nDisallow: /*aba*bab\n", "Googlebot",
                   "/abab", true},
        RobotsCase{"LongPieceFoundBehindAFalseStart",
                   "User-agent: *\nDisallow: /*aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab\n",
                   "Googlebot", "/aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", false},
        RobotsCase{"LongPieceMissing",
                   "User-agent: *\nDisallow: /*aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab\n",
                   "Googlebot", "/aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", true},
        RobotsCase{"OwnGroupOverStar",
                   "User-agent: *\nDisallow: /\n\nUser-agent: Googlebot\nAllow: /\n", "Googlebot",
                   "/s", true},
        RobotsCase{"OthersKeepTheStarGroup",
                   "User-agent: *\nDisallow: /\n\nUser-agent: Googlebot\nAllow: /\n", "Baiduspider",
                   "/s", false},
        RobotsCase{"TokenCaseBlindVersionIgnored", "User-agent: BAIDUSPIDER/2.0\nDisallow: /s\n",
                   "Baiduspider", "/s", false},
        RobotsCase{"LongerTokenIsAnotherCrawler", "User-agent: Googlebot-News\nDisallow: /\n",
                   "Googlebot", "/s", true},
        RobotsCase{"GroupsOfOneCrawlerCombine",
                   "User-agent: googlebot\nDisallow: /a\n\nUser-agent: googlebot\nDisallow: /b\n",
                   "Googlebot", "/b", false},
        RobotsCase{"SeveralAgentsShareAGroup",
                   "User-agent: other\nUser-agent: googlebot\nDisallow: /x\n", "Googlebot", "/x",
                   false},
        RobotsCase{"RuleAfterRulesStartsNoGroup",
                   "User-agent: a\nDisallow: /x\nUser-agent: googlebot\nDisallow: /y\n",
                   "Googlebot", "/x", true},
        RobotsCase{"RulesBeforeAnyAgentBelongNowhere", "Disallow: /\nUser-agent: *\nAllow: /x\n",
                   "Googlebot", "/y", true},
        RobotsCase{"EmptyDisallowAllows", "User-agent: *\nDisallow:\n", "Googlebot", "/s", true},
        RobotsCase{"RawUtf8MatchesItsEscapes", "User-agent: *\nDisallow: /s?q=测试\n", "Googlebot",
                   "/s?q=%E6%B5%8B%E8%AF%95", false},
        RobotsCase{"EscapeDigitsCaseBlind", "User-agent: *\nDisallow: /s?q=%e6%b5\n", "Googlebot",
                   "/s?q=%E6%B5%8B", false},
        RobotsCase{"EscapedUnreservedIsTheCharacter", "User-agent: *\nDisallow: /%7euser\n",
                   "Googlebot", "/~user/a", false},
        RobotsCase{"EscapedSlashIsNoSlash", "User-agent: *\nDisallow: /a%2Fb\n", "Googlebot",
                   "/a/b", true},
        RobotsCase{"CommentsCrLfAndMark",
                   "\xEF\xBB\xBFUser-agent: * # all\r\nDisallow: /s # search\r\n", "Googlebot",
                   "/s?q=1", false},
        RobotsCase{"KeysCaseBlindCrAlone", "USER-AGENT: *\rDISALLOW: /s\r", "Googlebot", "/s",
                   false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RobotsPath, PathAndQueryWithoutFragment) {
    const std::pair<const char*, const char*> cases[] = {
        {"http://a.cn?q=1#x", "/?q=1"},
        {"https://a.cn:81/s/t?q=%E6&x=1", "/s/t?q=%E6&x=1"},
        {"http://a.cn", "/"},
        {"http://a.cn/s?", "/s?"},
    };
    for (const auto& [address, path] : cases) EXPECT_EQ(robots_path(address), path) << address;
}

}  // namespace
}  // namespace trasslo
