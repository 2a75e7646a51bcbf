// Statistics and the HTML report over known runs in real journal files: counts, order, rates
// and times per engine; several journals joined; the runs a date window takes; and the page
// drawn by headless Chromium, which must show something and fetch nothing.
#include "journal/journal_stats.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "journal/journal_html_report.h"
#include "support/child_process.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"

namespace trasslo {
namespace {

namespace fs = std::filesystem;
using support::TempDir;

// 2023-11-14 22:13:20 UTC; the tests read times in UTC.
constexpr std::int64_t kT0 = 1700000000000;

TraceEngine engine(const char* name, const char* address) {
    return TraceEngine{true, 0, local(name), address};
}

struct Visit {
    int keyword;
    const TraceEngine* engine;
    long status;
    const char* error;
    bool echoed;
    std::int64_t at;
};

class Stats : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
    std::unique_ptr<Journal> journal(const std::string& name) {
        std::string error;
        auto j = Journal::open(dir.path() / name, Journal::Mode::write, error);
        EXPECT_TRUE(j) << error;
        return j;
    }
    // A run of `engines` that started at `started_ms` with these visits.
    std::int64_t add_run(Journal& j, std::vector<TraceEngine> engines, std::int64_t started_ms,
                         const std::vector<Visit>& visits) {
        RunInputs inputs;
        inputs.keywords = {"k1", "k2", "k3"};
        inputs.engines = engines;
        const std::int64_t run = *j.begin_run(RunSource::cli, inputs);
        Statement start(j.handle(), "UPDATE runs SET started_at = ?2 WHERE id = ?1");
        start.bind(1, run);
        start.bind(2, started_ms);
        EXPECT_EQ(start.step(), SQLITE_DONE);
        std::vector<VisitRow> rows;
        int n = 0;
        for (const Visit& v : visits) {
            VisitRow row;
            row.run = run;
            row.round = 1;
            row.keyword_index = v.keyword;
            row.engine_index = ++n;  // distinct keys; the order is not what is tested
            row.keyword = "k" + std::to_string(v.keyword);
            row.engine = to_utf8(v.engine->name);
            row.address_template = v.engine->address;
            row.status = v.status;
            row.error = v.error;
            row.echoed = v.echoed;
            row.visited_at = v.at;
            rows.push_back(row);
        }
        EXPECT_TRUE(j.record_visit_rows(rows)) << j.error();
        return run;
    }
    std::string csv(std::span<const JournalSelection> selections) {
        std::string error;
        const auto rows = engine_stats(selections, error);
        EXPECT_TRUE(rows) << error;
        const std::string text = rows ? stats_report(ReportFormat::csv, *rows) : "";
        const std::string head = csv_report_head(stats_columns());
        EXPECT_TRUE(text.starts_with(head));
        return text.substr(std::min(text.size(), head.size()));
    }
    TempDir dir;
    const TraceEngine a = engine("甲", "http://a.test/?q={*}");
    const TraceEngine b = engine("乙, \"B\"", "http://b.test/?q={*}");
    const TraceEngine c = engine("丙", "http://c.test/?q={*}");
    const TraceEngine a_elsewhere = engine("甲", "http://a2.test/?q={*}");
};

TEST_F(Stats, CountsPerEngineOverKnownRuns) {
    auto j = journal("j.db");
    const std::int64_t day = 86400000;
    // An earlier run lists 丙 first; the latest lists 乙 then 甲, so 丙 and the other 甲 follow
    // by name.
    add_run(*j, {c, a}, kT0, {{1, &c, 200, "", true, kT0 + 1000}, {1, &a, 0, "dns", false, kT0}});
    const std::int64_t latest = add_run(
        *j, {b, a}, kT0 + day,
        {{1, &a, 200, "", true, kT0 + day + 5000},
         {2, &a, 302, "", false, kT0 + day + 6000},
         {3, &a, 0, "timeout", false, kT0 + day + 7000},
         {1, &b, 0, "timeout", false, kT0 + day + 1000},
         {2, &b, 0, "connect", false, kT0 + day + 2000},
         {3, &b, 503, "http", false, kT0 + day + 3000},          // one each: the tie goes by name
         {1, &a_elsewhere, 199, "", false, kT0 + day + 8000}});  // neither trace nor failure
    const JournalSelection every{j.get(), std::nullopt, {}, {}};
    EXPECT_EQ(
        csv({&every, 1}),
        "\"乙, \"\"B\"\"\",http://b.test/?q={*},3,0,0,3,connect,2023-11-15 22:13:23,,0.000\r\n"
        "甲,http://a.test/?q={*},4,2,1,2,dns,2023-11-15 22:13:27,2023-11-15 22:13:26,0.500\r\n"
        "丙,http://c.test/?q={*},1,1,1,0,,2023-11-14 22:13:21,2023-11-14 22:13:21,1.000\r\n"
        "甲,http://a2.test/?q={*},1,0,0,0,,2023-11-15 22:13:28,,0.000\r\n");
    // One run alone, and a window that takes only the first day's run.
    const JournalSelection one{j.get(), latest, {}, {}};
    EXPECT_TRUE(csv({&one, 1}).starts_with("\"乙, \"\"B\"\"\",http://b.test/?q={*},3,0,0,3,"));
    const JournalSelection first_day{j.get(), std::nullopt, *local_day_start_ms("2023-11-14"),
                                     *local_day_start_ms("2023-11-15")};
    EXPECT_EQ(csv({&first_day, 1}),
              "丙,http://c.test/?q={*},1,1,1,0,,2023-11-14 22:13:21,2023-11-14 22:13:21,1.000\r\n"
              "甲,http://a.test/?q={*},1,0,0,1,dns,2023-11-14 22:13:20,,0.000\r\n");

    std::string error;
    const auto days = daily_counts({&every, 1}, error);
    ASSERT_TRUE(days) << error;
    ASSERT_EQ(days->size(), 2u);
    EXPECT_EQ((*days)[0].day, "2023-11-14");
    EXPECT_EQ((*days)[1].day, "2023-11-15");
    EXPECT_EQ((*days)[1].visits, 7);
    EXPECT_EQ((*days)[1].traces, 2);
    EXPECT_EQ((*days)[1].failed, 4);
}

TEST_F(Stats, JournalsAreJoinedByEngineAndJsonLinesKeepNumbers) {
    auto first = journal("one.db");
    auto second = journal("two.db");
    add_run(*first, {a}, kT0, {{1, &a, 200, "", true, kT0}});
    add_run(*second, {a}, kT0 + 1000, {{1, &a, 0, "tls", false, kT0 + 2000}});
    const JournalSelection both[] = {{first.get(), std::nullopt, {}, {}},
                                     {second.get(), std::nullopt, {}, {}}};
    std::string error;
    const auto rows = engine_stats(both, error);
    ASSERT_TRUE(rows) << error;
    EXPECT_EQ(stats_report(ReportFormat::jsonl, *rows),
              "{\"engine\":\"甲\",\"address\":\"http://a.test/?q={*}\",\"visits\":2,\"traces\":1,"
              "\"echoed\":1,\"failed\":1,\"top_error\":\"tls\",\"last_visit\":\"2023-11-14 "
              "22:13:22\",\"last_trace\":\"2023-11-14 22:13:20\",\"trace_rate\":0.5}\n");
}

TEST(LocalDayStart, RefusesWhatIsNoDate) {
    for (const char* text :
         {"2024-02-30", "2024-13-01", "2024-1-01", "2024-01-01x", "", "+024-01-01", "2024-0a-01"})
        EXPECT_FALSE(local_day_start_ms(text)) << text;
    EXPECT_TRUE(local_day_start_ms("2024-02-29"));
}

// Headless Chromium as Debian ships it, or nothing.
std::optional<fs::path> chromium() {
    for (const char* path : {"/usr/bin/chromium", "/usr/bin/chromium-browser"})
        if (fs::exists(path)) return fs::path(path);
    return std::nullopt;
}

// The share of pixels of a PNG that are not near white (read through netpbm's pngtopnm).
double inked_share(const fs::path& png, const fs::path& work) {
    const fs::path ppm = work / "page.ppm";
    const std::string command = "pngtopnm '" + png.string() + "' > '" + ppm.string() + "'";
    if (std::system(command.c_str()) != 0) return -1;
    const std::string bytes = support::read_file_bytes(ppm);
    int width = 0, height = 0, max = 0, offset = 0;
    if (std::sscanf(bytes.c_str(), "P6 %d %d %d%n", &width, &height, &max, &offset) != 3) return -1;
    const std::size_t start = static_cast<std::size_t>(offset) + 1;
    std::size_t inked = 0, pixels = static_cast<std::size_t>(width) * height;
    for (std::size_t p = 0; p < pixels && start + 3 * p + 2 < bytes.size(); ++p) {
        const auto* rgb = reinterpret_cast<const unsigned char*>(bytes.data() + start + 3 * p);
        if (rgb[0] < 200 || rgb[1] < 200 || rgb[2] < 200) ++inked;
    }
    return pixels ? static_cast<double>(inked) / static_cast<double>(pixels) : -1;
}

TEST_F(Stats, HtmlReportDrawsInChromiumAndFetchesNothing) {
    const std::optional<fs::path> browser = chromium();
    if (!browser) GTEST_SKIP() << "chromium is not installed (scripts/setup.sh --test installs it)";
    auto j = journal("j.db");
    std::vector<Visit> visits;
    for (int k = 1; k <= 30; ++k) {
        visits.push_back({k, &a, 200, "", k % 3 != 0, kT0 + k});
        visits.push_back({k, &b, k % 2 ? 200 : 0, k % 2 ? "" : "timeout", false, kT0 + k});
    }
    const std::int64_t run = add_run(*j, {a, b}, kT0, visits);
    const fs::path page = dir.path() / "report.html";
    {
        std::FILE* out = std::fopen(page.c_str(), "wb");
        ASSERT_TRUE(out);
        std::string error;
        const JournalSelection chosen{j.get(), run, {}, {}};
        HtmlReportOptions options;
        options.visit_rows = 10;
        EXPECT_TRUE(write_html_report({&chosen, 1}, options, out, error)) << error;
        std::fclose(out);
    }
    const std::string html = support::read_file_bytes(page);
    for (const char* outside : {"src=", "href=", "url(", "@import", "<script", "<link"})
        EXPECT_EQ(html.find(outside), std::string::npos) << outside;
    EXPECT_NE(html.find("共 60 次访问，这里只列出前 10 次"), std::string::npos);
    EXPECT_NE(html.find("<svg"), std::string::npos);

    // Every request the page might make goes to this proxy, loopback included.
    support::HttpTestServer proxy(
        [](support::Connection& c, const support::RecordedRequest&) { c.close(); });
    const fs::path png = dir.path() / "page.png";
    const support::ChildResult r = support::run_child(
        *browser,
        {"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--disable-features=NetworkTimeServiceQuerying",
         "--user-data-dir=" + (dir.path() / "profile").string(),
         "--proxy-server=http://127.0.0.1:" + std::to_string(proxy.port()),
         "--proxy-bypass-list=<-loopback>", "--window-size=1000,1400",
         "--screenshot=" + png.string(), "file://" + page.string()},
        dir.path());
    ASSERT_TRUE(fs::exists(png)) << r.err;
    const double share = inked_share(png, dir.path());
    EXPECT_GT(share, 0.02) << "the page looks blank";
    EXPECT_LT(share, 0.9);
    // The browser's own services (its clock, updates) are not the page's; anything else is.
    for (const support::RecordedRequest& request : proxy.requests()) {
        std::string host = request.header("Host").value_or("");
        host = host.substr(0, host.find(':'));
        const bool browsers_own = host.ends_with("google.com") || host.ends_with("gvt1.com") ||
                                  host.ends_with("googleapis.com");
        EXPECT_TRUE(browsers_own) << request.head;
    }
}

}  // namespace
}  // namespace trasslo
