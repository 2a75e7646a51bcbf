// Trace visits at interval 0 against a local nginx, against a bare libcurl loop making the same
// GETs with a fresh easy handle each, in the same run. Prints both rates and their ratio (goal:
// the run makes at least 0.8 of the bare loop's visits a second). The run is measured with the
// journal kept and without it, turn about (goal: with it, at least 0.9 of the rate without); on a
// shared machine one slow turn can sway a sum, so that ratio is the median of the turns' ratios.
//
//   bench_trace [visits per measurement]
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bare_curl_baseline.h"
#include "bench_run_view.h"
#include "journal/journal_recorder.h"
#include "net/fetch_title.h"
#include "run/trace_run.h"
#include "support/nginx_server.h"
#include "support/temp_dir.h"
#include "text/url_encode.h"

namespace trasslo {
namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The journal's recorder, with the time spent in it counted.
class TimedRecorder : public RunRecorder {
  public:
    TimedRecorder(RunRecorder& inner, double& seconds) : inner_(inner), seconds_(seconds) {}
    void run_started(const RunInputs& inputs) override {
        timed([&] { inner_.run_started(inputs); });
    }
    bool visit_recorded(const VisitPosition& position) override {
        bool recorded = false;
        timed([&] { recorded = inner_.visit_recorded(position); });
        return recorded;
    }
    void visit_made(const VisitPosition& position, std::string_view keyword,
                    const TraceEngine& engine, const VisitOutcome& outcome) override {
        timed([&] { inner_.visit_made(position, keyword, engine, outcome); });
    }
    void run_ended(bool finished) override {
        timed([&] { inner_.run_ended(finished); });
    }

  private:
    template <typename Work>
    void timed(Work&& work) {
        const Clock::time_point start = Clock::now();
        work();
        seconds_ += seconds_since(start);
    }
    RunRecorder& inner_;
    double& seconds_;
};

int bench_main(int argc, char** argv) {
    const int visits = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    support::NginxServer nginx;
    if (!bench::serve_bench_page(nginx)) return 1;

    // Keywords and the addresses the run will visit for them with the engine below.
    const std::string address_template = nginx.url("/s.html?q={*}");
    LocalText keywords;
    std::vector<std::string> addresses;
    for (int i = 0; i < visits; ++i) {
        const LocalText keyword = local("关键词") + std::to_string(i);
        keywords += keyword + "\r\n";
        addresses.push_back(fill_template(address_template, keyword, false));
    }
    const std::vector<TraceEngine> engines = {
        TraceEngine{true, 0, local("本机"), address_template}};

    // Many short turns, the two taking turns, so that the busy moments of a shared machine fall
    // on both alike; the rates come from the summed times.
    constexpr int turns = 20;
    double run_seconds = 0;
    double journal_seconds = 0;
    double bare_seconds = 0;
    int titled = 0;
    int bare_ok = 0;
    support::TempDir folder;
    std::string journal_problem;
    // One trace run; with `journal`, kept in the journal file of the folder above.
    double in_journal_seconds = 0;  // of the runs with the journal, the time spent in it
    auto trace = [&](bool journal, double& seconds) {
        BenchRunView view(keywords, engines);
        JournalRecorder journal_recorder(journal_file_path(folder.path()), RunSource::cli,
                                         [&](const std::string& text) { journal_problem = text; });
        TimedRecorder recorder(journal_recorder, in_journal_seconds);
        RunServices services;
        if (journal) services.recorder = &recorder;
        const Clock::time_point start = Clock::now();
        const RunReport report = on_start_button_clicked(view, services);
        seconds += seconds_since(start);
        titled += view.titled;
        return report.total == static_cast<std::uint32_t>(visits);
    };
    std::vector<double> journal_ratios;  // per turn: the rate with the journal over without
    for (int turn = 0; turn < turns; ++turn) {
        Clock::time_point start = Clock::now();
        bare_ok += bench::bare_curl_loop(addresses);
        bare_seconds += seconds_since(start);
        const double without_before = run_seconds;
        const double with_before = journal_seconds;
        if (!trace(false, run_seconds) || !trace(true, journal_seconds)) {
            std::fprintf(stderr, "a run left fewer than %d traces\n", visits);
            return 1;
        }
        journal_ratios.push_back((run_seconds - without_before) / (journal_seconds - with_before));
    }
    std::sort(journal_ratios.begin(), journal_ratios.end());
    const double journal_ratio = journal_ratios[journal_ratios.size() / 2];
    curl_global_cleanup();
    if (!journal_problem.empty()) {
        std::fprintf(stderr, "%s\n", journal_problem.c_str());
        return 1;
    }

    const int total = visits * turns;
    const double run_rate = total / run_seconds;
    const double journal_rate = total / journal_seconds;
    const double bare_rate = total / bare_seconds;
    std::printf("trace visits at interval 0 against nginx on 127.0.0.1: %d turns of %d visits\n",
                turns, visits);
    std::printf("  trace run        %8.0f visits/s  (%d of %d with the page title)\n", run_rate,
                titled, 2 * total);
    std::printf("  with the journal %8.0f visits/s  (%.0f us a visit in the journal itself)\n",
                journal_rate, in_journal_seconds / total * 1e6);
    std::printf("  bare libcurl     %8.0f GETs/s    (%d of %d answered 200)\n", bare_rate, bare_ok,
                total);
    std::printf("  ratio            %8.2f of the bare rate  (goal >= 0.8)\n", run_rate / bare_rate);
    std::printf(
        "  journal ratio    %8.2f of the rate without it, median of the turns"
        "  (goal >= 0.9)\n",
        journal_ratio);
    return titled == 2 * total && bare_ok == total ? 0 : 1;
}

}  // namespace
}  // namespace trasslo

int main(int argc, char** argv) {
    return trasslo::bench_main(argc, argv);
}
