#include "text/regex_object.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace trasslo {
namespace {

TEST(RegexObject, DefaultsIgnoreCaseReplaceAllAndAnchorLines) {
    RegexObject re;
    ASSERT_TRUE(re.create("^a"));
    EXPECT_EQ(re.replace("abc\nAbc\nbac", "x"), "xbc\nxbc\nbac");
    ASSERT_TRUE(re.create("b$"));
    EXPECT_EQ(re.replace("ab\r\ncb", "_"), "a_\r\nc_");
}

TEST(RegexObject, SwitchesOff) {
    RegexObject re;
    ASSERT_TRUE(re.create("a", false, true, false));
    EXPECT_EQ(re.replace("AaAa", "x"), "AxAa");
    ASSERT_TRUE(re.create("^a", true, false, true));
    EXPECT_EQ(re.replace("ab\nab", "x"), "xb\nab");
    ASSERT_TRUE(re.create("b$", true, false, true));
    EXPECT_EQ(re.replace("ab\n", "x"), "ab\n");  // '$' alone is the very end
}

TEST(RegexObject, ReplacementReferences) {
    RegexObject re;
    ASSERT_TRUE(re.create("(.+?)(-|_|—).+"));
    EXPECT_EQ(re.replace("a-b-c", "$1"), "a");
    ASSERT_TRUE(re.create("(\\w)(\\d)"));
    EXPECT_EQ(re.replace("a1 b2", "$2$1"), "1a 2b");
    EXPECT_EQ(re.replace("a1", "[$&|$$|$3|$]"), "[a1|$|$3|$]");
    EXPECT_EQ(re.replace("xa1y", "<$`|$'>"), "x<x|y>y");
    ASSERT_TRUE(re.create("(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)"));
    EXPECT_EQ(re.replace("abcdefghijk", "$11-$1"), "k-a");
    ASSERT_TRUE(re.create("(a)|(b)"));
    EXPECT_EQ(re.replace("ab", "[$2]"), "[][b]");
}

TEST(RegexObject, NoMatchEmptyObjectAndBadPattern) {
    RegexObject re;
    EXPECT_EQ(re.replace("abc", "x"), "abc");  // never created
    ASSERT_TRUE(re.create("z+"));
    EXPECT_EQ(re.replace("abc", "x"), "abc");
    EXPECT_FALSE(re.create("(unclosed"));
    EXPECT_EQ(re.replace("(unclosed", "x"), "(unclosed");
    EXPECT_EQ(re.pattern(), "");
}

TEST(RegexObject, EmptyMatchesStepOneCharacter) {
    RegexObject re;
    ASSERT_TRUE(re.create("x*"));
    EXPECT_EQ(re.replace(local("a中"), "-"), "-a-" + local("中") + "-");
}

TEST(RegexObject, DotStopsAtLineBreaksAndChineseIsOneCharacter) {
    RegexObject re;
    ASSERT_TRUE(re.create("^.$"));
    EXPECT_EQ(re.execute(local("中\nab\n文")), 2);
    EXPECT_EQ(re.match_text(1), local("中"));
    EXPECT_EQ(re.match_text(2), local("文"));
    ASSERT_TRUE(re.create("a.b"));
    EXPECT_EQ(re.replace("a\rb a\nb axb", "-"), "a\rb a\nb -");
}

TEST(RegexObject, ExecuteKeepsMatchesAndGroups) {
    RegexObject re;
    ASSERT_TRUE(re.create("(\\d+)-(\\d+)"));
    EXPECT_EQ(re.pattern(), "(\\d+)-(\\d+)");
    EXPECT_EQ(re.execute("1-2, 30-40"), 2);
    EXPECT_EQ(re.match_count(), 2);
    EXPECT_EQ(re.match_text(2), "30-40");
    EXPECT_EQ(re.submatch_text(2, 1), "30");
    EXPECT_EQ(re.submatch_text(1, 2), "2");
    EXPECT_EQ(re.submatch_count(), 2);
    EXPECT_EQ(re.match_text(0), "");
    EXPECT_EQ(re.match_text(3), "");
    EXPECT_EQ(re.submatch_text(1, 3), "");

    RegexObject copy(re);
    re.release();
    EXPECT_EQ(re.match_count(), 0);
    EXPECT_EQ(re.pattern(), "");
    EXPECT_EQ(copy.match_text(1), "1-2");
    EXPECT_EQ(copy.replace("7-8", "$2"), "8");

    RegexObject assigned;
    assigned = copy;
    EXPECT_EQ(assigned.submatch_text(2, 2), "40");
}

TEST(RegexObject, InvalidLocalTextDoesNotBreakMatching) {
    RegexObject re;
    ASSERT_TRUE(re.create("b"));
    std::mt19937 rng(1);
    for (int round = 0; round < 200; ++round) {
        std::string subject(rng() % 40, '\0');
        for (char& c : subject) c = static_cast<char>(rng());
        LocalText out = re.replace(subject, "");
        EXPECT_EQ(re.execute(out), 0) << round;
    }
}

TEST(TitleBeforeSeparator, CutsEachLineBeforeItsFirstSeparator) {
    EXPECT_EQ(title_before_separator("Example Shop - Home"), "Example Shop ");
    EXPECT_EQ(title_before_separator(local("abc_def—ghi")), "abc");
    EXPECT_EQ(title_before_separator(local("新闻—首页")), local("新闻"));
    EXPECT_EQ(title_before_separator("-abc"), "-abc");
    EXPECT_EQ(title_before_separator("abc-"), "abc-");
    EXPECT_EQ(title_before_separator("no separator"), "no separator");
    EXPECT_EQ(title_before_separator("a-b\nc_d\n-e"), "a\nc\n-e");
    EXPECT_EQ(title_before_separator(""), "");
}

}  // namespace
}  // namespace trasslo
