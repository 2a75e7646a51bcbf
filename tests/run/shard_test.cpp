#include "run/shard.h"

#include <gtest/gtest.h>

namespace trasslo {
namespace {

// Fixed values: every machine and every version must split a list the same way.
TEST(ShardTest, FnvOfTheSiteModuloTheShardCountPlusOne) {
    const struct {
        const char* site;
        std::uint64_t fnv;
        int of2, of3, of7, of16;
    } rows[] = {
        {"", 0xcbf29ce484222325ull, 2, 3, 3, 6},
        {"a", 0xaf63dc4c8601ec8cull, 1, 2, 6, 13},
        {"example.com.cn", 0xbdfc4577789683bdull, 2, 2, 5, 14},
        {"baidu.com", 0x4457d4f0013ad277ull, 2, 3, 6, 8},
        {"127.0.0.1", 0xaabafe7104d914beull, 1, 3, 1, 15},
        {"例子.中国", 0x866292f772349742ull, 1, 1, 3, 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.site);
        EXPECT_EQ(fnv1a_64(row.site), row.fnv);
        EXPECT_EQ(shard_of_site(row.site, 1), 1);
        EXPECT_EQ(shard_of_site(row.site, 2), row.of2);
        EXPECT_EQ(shard_of_site(row.site, 3), row.of3);
        EXPECT_EQ(shard_of_site(row.site, 7), row.of7);
        EXPECT_EQ(shard_of_site(row.site, 16), row.of16);
    }
}

TEST(ShardTest, ShardChoiceIsKOfNWithKFromOneToN) {
    const struct {
        const char* text;
        bool usable;
        int index, count;
    } rows[] = {
        {"1/1", true, 1, 1},
        {"3/7", true, 3, 7},
        {"7/7", true, 7, 7},
        {"0/3", false, 0, 0},
        {"4/3", false, 0, 0},
        {"3", false, 0, 0},
        {"/3", false, 0, 0},
        {"1/", false, 0, 0},
        {"-1/3", false, 0, 0},
        {"+1/3", false, 0, 0},
        {"1/3x", false, 0, 0},
        {"1 /3", false, 0, 0},
        {"1/99999999999", false, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const std::optional<ShardChoice> shard = parse_shard(row.text);
        ASSERT_EQ(shard.has_value(), row.usable);
        if (shard) {
            EXPECT_EQ(shard->index, row.index);
            EXPECT_EQ(shard->count, row.count);
        }
    }
}

TEST(ShardTest, OtherShardsAreUntickedInPlaceAndOneSiteStaysTogether) {
    auto engine = [](const char* address, bool enabled) {
        TraceEngine e;
        e.address = address;
        e.enabled = enabled;
        return e;
    };
    // example.com.cn is shard 2 of 3, baidu.com shard 3 of 3.
    std::vector<TraceEngine> engines = {
        engine("http://s1.example.com.cn/s?q={*}", true),
        engine("http://www.baidu.com/s?wd={*}", true),
        engine("http://www.example.com.cn/s?q={*}", true),
        engine("http://news.example.com.cn/s?q={*}", false),
    };
    std::vector<TraceEngine> second = engines;
    untick_other_shards(second, {2, 3});
    ASSERT_EQ(second.size(), 4u);
    EXPECT_TRUE(second[0].enabled);
    EXPECT_FALSE(second[1].enabled);
    EXPECT_TRUE(second[2].enabled);
    EXPECT_FALSE(second[3].enabled);  // an unticked engine is not ticked by its shard
    std::vector<TraceEngine> third = engines;
    untick_other_shards(third, {3, 3});
    EXPECT_FALSE(third[0].enabled);
    EXPECT_TRUE(third[1].enabled);
    EXPECT_FALSE(third[2].enabled);
}

}  // namespace
}  // namespace trasslo
