// The engine check of 1,000 engines on one local nginx site, against a trace run over the same
// list with one keyword, interval 0, in the same run (goal: the check takes at most 2.5 times
// the run's time). Two pages: one that shows the keyword (one visit per engine, the common case
// of a working engine) and one that does not (the second visit in the other encoding is made
// for every engine, the check's worst case). The two take turns; each ratio is the median of
// the turns' ratios, so that a busy moment of a shared machine does not sway it.
//
//   bench_check [engines]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bare_curl_baseline.h"
#include "bench_run_view.h"
#include "check/check_run.h"
#include "support/nginx_server.h"

namespace trasslo {
namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int bench_main(int argc, char** argv) {
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    support::NginxServer nginx;
    if (!bench::serve_bench_page(nginx)) return 1;
    const std::string shown = "bench-keyword";
    nginx.put_file("echo.html",
                   "<html><head><meta charset=\"utf-8\"><title>bench page</title></head>"
                   "<body>results for " +
                       shown + "</body></html>");

    auto engines_on = [&](const std::string& page) {
        std::vector<TraceEngine> engines;
        for (int i = 0; i < count; ++i)
            engines.push_back(
                TraceEngine{true, engine_encoding_utf8, "e" + std::to_string(i),
                            nginx.url("/" + page + "?e=" + std::to_string(i) + "&q={*}")});
        return engines;
    };

    struct Pair {
        const char* name;
        std::vector<TraceEngine> engines;
        std::vector<double> ratios;
        std::size_t verdicts_as_expected = 0;
        Verdict expected;
    };
    Pair pairs[] = {
        {"page shows the keyword", engines_on("echo.html"), {}, 0, Verdict::ok},
        {"page does not show it ", engines_on("s.html"), {}, 0, Verdict::not_echoed},
    };
    constexpr int turns = 5;
    double trace_seconds = 0;
    for (int turn = 0; turn < turns; ++turn) {
        for (Pair& pair : pairs) {
            BenchRunView view(shown + "\r\n", pair.engines);
            Clock::time_point start = Clock::now();
            const RunReport report = on_start_button_clicked(view);
            const double trace = seconds_since(start);
            trace_seconds += trace;
            if (report.total != static_cast<std::uint32_t>(count)) {
                std::fprintf(stderr, "the run left %u traces of %d\n", report.total, count);
                return 1;
            }
            const std::atomic<bool> stop{false};
            start = Clock::now();
            check_engines(pair.engines, shown, stop, [&](std::size_t, const EngineCheck& check) {
                if (check.verdict == pair.expected) ++pair.verdicts_as_expected;
            });
            pair.ratios.push_back(seconds_since(start) / trace);
        }
    }
    curl_global_cleanup();

    std::printf(
        "engine check of %d engines on one nginx site, against a trace run of them with "
        "one keyword (interval 0): %d turns\n",
        count, turns);
    std::printf("  trace run         %8.0f visits/s\n", 2.0 * turns * count / trace_seconds);
    bool ok = true;
    for (const Pair& pair : pairs) {
        const double ratio = median(pair.ratios);
        std::printf(
            "  %s  check takes %5.2f x the run's time  (goal <= 2.5; %zu of %d "
            "verdicts as expected)\n",
            pair.name, ratio, pair.verdicts_as_expected, turns * count);
        ok = ok && ratio <= 2.5 &&
             pair.verdicts_as_expected == static_cast<std::size_t>(turns * count);
    }
    return ok ? 0 : 1;
}

}  // namespace
}  // namespace trasslo

int main(int argc, char** argv) {
    return trasslo::bench_main(argc, argv);
}
