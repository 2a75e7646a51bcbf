#include "net/merge_cookies.h"

#include <gtest/gtest.h>

#include <string>

namespace trasslo {
namespace {

LocalText merged(LocalText current, LocalText received) {
    return merge_cookies(current, received);
}

TEST(MergeCookies, ReceivedCookiesWinAndDeletedOnesGo) {
    EXPECT_EQ(merged("a=1; b=2", "b=3; c=4"), "b=3; c=4; a=1");
    EXPECT_EQ(merged("a=1; b=2", "a=deleted"), "b=2");
    EXPECT_EQ(merged("a=1", ""), "a=1");
    EXPECT_EQ(merged("", ""), "");
    EXPECT_EQ(merged("", "x=1"), "x=1");
    // Only the last eight bytes are looked at.
    EXPECT_EQ(merged("k=v=deleted; j=1", ""), "j=1");
}

TEST(MergeCookies, SpacesGoEverywhereAndBothArgumentsAreWrittenBack) {
    LocalText current = "x = 1 2";
    LocalText received = local("y\xE3\x80\x80=3 ");  // a full-width space inside
    EXPECT_EQ(merge_cookies(current, received), "y=3; x=12");
    EXPECT_EQ(current, "y=3; x=12");
    EXPECT_EQ(received, "y=3");
    // The second byte of a double-byte character is not taken for a space.
    LocalText gbk = "n=\xB0\xA1\xA1\xB0 ";
    LocalText none;
    EXPECT_EQ(merge_cookies(gbk, none), "n=\xB0\xA1\xA1\xB0");
}

TEST(MergeCookies, FirstOfANameWinsAndDuplicatesGo) {
    EXPECT_EQ(merged("a=1;a=2", ""), "a=1");
    EXPECT_EQ(merged("", "a=1;a=2"), "a=1; a=2");        // received items are all kept ...
    EXPECT_EQ(merged("", "a=1;a=1"), "a=1");             // ... but an exact repeat goes
    EXPECT_EQ(merged("flag;b=1", "flag"), "flag; b=1");  // an item without '=' is its name
    EXPECT_EQ(merged("a=1;;b=2", ""), "a=1; ; b=2");     // empty items are carried along
}

TEST(MergeCookies, ManyCookiesStayLinear) {
    LocalText current, received;
    for (int i = 0; i < 200000; ++i) {
        current += "c" + std::to_string(i) + "=old;";
        received += "c" + std::to_string(i * 2) + "=new;";
    }
    LocalText result = merge_cookies(current, received);
    EXPECT_EQ(result.substr(0, 16), "c0=new; c2=new; ");
    EXPECT_NE(result.find("c1=old"), std::string::npos);
    EXPECT_EQ(result.find("c2=old"), std::string::npos);
}

}  // namespace
}  // namespace trasslo
