// The duplicate rule: which templates are the same engine, and the duplicate groups of a list.
#include "engines/template_normal_form.h"

#include <gtest/gtest.h>

namespace trasslo {
namespace {

TEST(TemplateNormalForm, PairsOfTemplatesAreTheSameEngineOrNot) {
    struct Case {
        const char* a;
        const char* b;
        bool same;
    };
    const Case cases[] = {
        {"http://a.cn/s?q={*}", "https://a.cn/s?q={*}", true},
        {"http://www.a.cn/s?q={*}", "http://a.cn/s?q={*}", true},
        {"HTTP://WWW.A.CN/s?q={*}", "https://a.cn/s?q={*}", true},
        {"http://a.cn:80/s?q={*}", "https://a.cn:443/s?q={*}", true},
        {"http://a.cn/s?q={*}#results", "http://a.cn/s?q={*}", true},
        {"http://a.cn/s?q={*}&c=1&b=", "http://a.cn/s?b=&c=1&q={*}", true},
        {"http://a.cn/s?q=%s", "http://a.cn/s?q={KW}", true},
        {"http://a.cn/s?q=[encode_url]", "http://a.cn/s?q=***", true},
        {"http://a.cn", "http://a.cn/", true},
        {"http://a.cn?q={*}", "http://a.cn/?q={*}", true},
        {"http://a.cn/s?", "http://a.cn/s", true},
        {"ftp://a.cn/x", "ftp://a.cn/x", true},
        {"", "", true},
        // Not the same page.
        {"http://a.cn:443/s?q={*}", "https://a.cn/s?q={*}", false},
        {"http://a.cn:8080/s?q={*}", "http://a.cn/s?q={*}", false},
        {"http://m.a.cn/s?q={*}", "http://a.cn/s?q={*}", false},
        {"http://www2.a.cn/s?q={*}", "http://a.cn/s?q={*}", false},
        {"http://a.cn/S?q={*}", "http://a.cn/s?q={*}", false},
        {"http://a.cn/s?q={*}&c=News", "http://a.cn/s?q={*}&c=news", false},
        {"http://a.cn/s?a=1&a=2&q={*}", "http://a.cn/s?a=2&a=1&q={*}", false},
        {"http://a.cn/s?q={*}", "http://a.cn/s?w={*}", false},
        {"http://a.cn/s?q={*}", "http://a.cn/s#q={*}", false},
        {"ftp://a.cn/x", "http://a.cn/x", false},
        {"FTP://A.cn/x", "ftp://a.cn/x", false},  // other schemes compare as written
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + "  " + c.b);
        EXPECT_EQ(same_engine_template(c.a, c.b), c.same);
    }
}

TEST(TemplateNormalForm, DuplicateGroupsKeepTheFirstOfEach) {
    auto engine = [](const char* address) { return TraceEngine{true, 0, "n", address}; };
    const std::vector<TraceEngine> engines = {
        engine("http://b.cn/?q={*}"),      engine("http://a.cn/?q={*}"),
        engine("https://www.a.cn/?q=%s"),  engine("http://c.cn/?q={*}"),
        engine("http://b.cn:80/?q={*}#x"), engine("http://a.cn/?q={*}"),
    };
    const std::vector<DuplicateGroup> groups = duplicate_engine_groups(engines);
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].kept, 0u);
    EXPECT_EQ(groups[0].duplicates, (std::vector<std::size_t>{4}));
    EXPECT_EQ(groups[1].kept, 1u);
    EXPECT_EQ(groups[1].duplicates, (std::vector<std::size_t>{2, 5}));
    const std::vector<TraceEngine> kept = without_duplicates(engines, groups);
    EXPECT_EQ(kept, (std::vector<TraceEngine>{engines[0], engines[1], engines[3]}));
}

}  // namespace
}  // namespace trasslo
