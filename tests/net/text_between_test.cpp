#include "net/text_between.h"

#include <gtest/gtest.h>

namespace trasslo {
namespace {

TEST(TextBetween, FirstLeftThenNextRight) {
    EXPECT_EQ(text_between("a[b]c[d]", "[", "]"), "b");
    EXPECT_EQ(text_between("a[b]c[d]", "[", "]", 4), "d");
    EXPECT_EQ(text_between("a[]c", "[", "]"), "");
    EXPECT_EQ(text_between("a[bc", "[", "]"), "");
    EXPECT_EQ(text_between("abc]", "[", "]"), "");
    EXPECT_EQ(text_between("", "[", "]"), "");
    // The right delimiter is searched behind the left one, not overlapping it.
    EXPECT_EQ(text_between("x==y==z", "==", "=="), "y");
}

TEST(TextBetween, CaseAndQuoteWord) {
    EXPECT_EQ(text_between("Set-Cookie: a=1;", "set-cookie:", ";"), "");
    EXPECT_EQ(text_between("Set-Cookie: a=1;", "set-cookie:", ";", 1, true), " a=1");
    EXPECT_EQ(text_between("v=\"q\"", local("=#引号"), local("#引号")), "q");
}

TEST(TextBetween, MatchesOnlyAtCharacterBoundaries) {
    // 0xB0 0x5B is one character whose second byte is '['.
    EXPECT_EQ(text_between("\xB0[x]", "[", "]"), "");
    EXPECT_EQ(text_between("\xB0[x[y]", "[", "]"), "y");
}

TEST(ValueAfterColon, TrimmedRestOrNothing) {
    EXPECT_EQ(value_after_colon("Name:  value  "), "value");
    EXPECT_EQ(value_after_colon("a: b: c"), "b: c");
    EXPECT_EQ(value_after_colon("no colon"), "");
    EXPECT_EQ(value_after_colon("x:\xA1\xA1v\xA1\xA1"), "v");
}

TEST(AppendBytes, JoinsInOrderAndSkipsAbsentOnes) {
    const ByteBuffer a{1, 2}, b{}, c{3};
    EXPECT_EQ(append_bytes({&a, nullptr, &b, &c}), (ByteBuffer{1, 2, 3}));
    EXPECT_TRUE(append_bytes({nullptr, &b}).empty());
    EXPECT_TRUE(append_bytes({}).empty());
}

}  // namespace
}  // namespace trasslo
