// Text between markers: forward and backward walks, empty markers, quote pairs, and the
// pattern lists the charset detection reads meta tags with.
#include "text/markers.h"

#include <gtest/gtest.h>

#include <string>

namespace trasslo {
namespace {

TEST(SliceBetweenMarkers, ForwardBackwardAndEmptyMarkers) {
    long position = 0;
    EXPECT_EQ(slice_between_markers("x<b>y</b>z", "<B>", "</B>", 0, 0, &position), "y");
    EXPECT_EQ(position, 10);
    EXPECT_EQ(slice_between_markers("x<b>y</b>z", "", "<b>"), "x");
    EXPECT_EQ(slice_between_markers("x<b>y</b>z", "</b>", ""), "z");
    EXPECT_EQ(slice_between_markers("x<b>y</b>z", "<i>", "</b>"), "");
    EXPECT_EQ(slice_between_markers("[abcd]", "[", "]", 1, 1), "bc");
    EXPECT_EQ(slice_between_markers("[abcd]", "[", "]", 2, 2), "");

    long from = 0;
    std::string text = "(a)(b)(c)";
    EXPECT_EQ(slice_between_markers(text, "(", ")", 0, 0, &from, true), "c");
    EXPECT_EQ(from, 7);
    EXPECT_EQ(slice_between_markers(text, "(", ")", 0, 0, &from, true), "b");
    EXPECT_EQ(slice_between_markers(text, "(", ")", 0, 0, &from, true), "a");
    EXPECT_EQ(from, 1);
    EXPECT_EQ(slice_between_markers(text, "(", ")", 0, 0, &from, true), "");

    EXPECT_EQ(slice_between_markers("a=\"v\"", "=''", "''", 0, 0, nullptr, false, true), "v");
    EXPECT_EQ(slice_between_markers("a=\"v\"", "=''", "''"), "");
}

TEST(SliceBetweenMarkers, LenientRetriesWithoutQuotesAndWalksTheText) {
    long position = 0;
    EXPECT_EQ(slice_between_markers_lenient("<a href=x>", "href=''", ">", position), "x");
    EXPECT_EQ(position, 11);
    position = 0;
    EXPECT_EQ(slice_between_markers_lenient("<a href=\"x\">", "href=''", "''", position), "x");
    position = 0;
    EXPECT_EQ(slice_between_markers_lenient("<a href=''x''>", "href=''", "''", position, false, 0,
                                            0, true),
              "x");
    position = 0;
    std::string text = "<Title>one</TITLE><title>two</title>";
    EXPECT_EQ(slice_between_markers_lenient(text, "<title>", "</title>", position), "one");
    EXPECT_EQ(slice_between_markers_lenient(text, "<title>", "</title>", position), "two");
    long before = position;
    EXPECT_EQ(slice_between_markers_lenient(text, "<title>", "</title>", position), "");
    EXPECT_EQ(position, before);
}

TEST(ContainsPattern, AnyAndAll) {
    const char* list = "charset=UTF-8[fg]charset=''UTF-8''[fg]charset='UTF-8'";
    EXPECT_TRUE(contains_pattern(" charset='utf-8'", list, true));
    EXPECT_TRUE(contains_pattern(" charset=\"utf-8\"", list, true));
    EXPECT_FALSE(contains_pattern(" charset=gbk", list, true));
    EXPECT_TRUE(contains_pattern("a b c", "a[fg]B[fg]c", false));
    EXPECT_FALSE(contains_pattern("a b", "a[fg]B[fg]c", false));
    EXPECT_FALSE(contains_pattern("abc", "", true));
    EXPECT_TRUE(contains_pattern("abc", "", false));
}

}  // namespace
}  // namespace trasslo
