// The duration text: units, the rounding to two decimals and the "%.13g" form.
#include "run/format_duration.h"

#include <gtest/gtest.h>

namespace trasslo {
namespace {

TEST(FormatDurationTest, PicksTheLargestFittingUnit) {
    EXPECT_EQ(format_duration(0), local("0 毫秒"));
    EXPECT_EQ(format_duration(999), local("999 毫秒"));
    EXPECT_EQ(format_duration(1000), local("1 秒"));
    EXPECT_EQ(format_duration(59999), local("60 秒"));  // 59.999 rounds up, the unit stays
    EXPECT_EQ(format_duration(60000), local("1 分"));
    EXPECT_EQ(format_duration(90LL * 60 * 1000), local("1.5 时"));
    EXPECT_EQ(format_duration(48LL * 3600 * 1000), local("2 天"));
    EXPECT_EQ(format_duration(45LL * 24 * 3600 * 1000), local("1.5 月"));
    EXPECT_EQ(format_duration(720LL * 24 * 3600 * 1000), local("2 年"));
}

TEST(FormatDurationTest, RoundsToTwoDecimalsHalvesAwayFromZero) {
    EXPECT_EQ(format_duration(1500), local("1.5 秒"));
    EXPECT_EQ(format_duration(140000), local("2.33 分"));
    EXPECT_EQ(format_duration(1005), local("1.01 秒"));  // 1.005 s: the nudge takes it up
    EXPECT_EQ(format_duration(1004), local("1 秒"));
    EXPECT_EQ(format_duration(-1500), local("-1500 毫秒"));
}

}  // namespace
}  // namespace trasslo
