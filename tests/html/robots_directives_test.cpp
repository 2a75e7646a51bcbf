// X-Robots-Tag values: directives for every crawler or for ours forbid indexing; those addressed
// to another crawler do not.
#include "html/robots_directives.h"

#include <gtest/gtest.h>

namespace trasslo {
namespace {

TEST(XRobotsTag, DirectivesForEveryCrawlerOrForOurs) {
    struct Row {
        const char* value;
        bool forbids;
    };
    const Row rows[] = {
        {"noindex", true},
        {" NONE ", true},
        {"nofollow, noindex", true},
        {"googlebot: noindex", true},
        {"baiduspider: noarchive, noindex", true},
        {"otherbot: noindex, nofollow", false},
        {"otherbot: nofollow, googlebot: noindex", true},
        {"googlebot: nofollow, otherbot: noindex", false},
        {"unavailable_after: 25 Jun 2010 15:00:00 PST", false},
        {"max-snippet: 0, noindex", true},
        {"noarchive", false},
        {"", false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(x_robots_tag_forbids_indexing(row.value), row.forbids) << row.value;
}

}  // namespace
}  // namespace trasslo
