// The report of a journal of 1,000,000 visits written as CSV, against the sqlite3 command
// writing the same rows with -csv, in the same run (goal: under 3 times its time); and the peak
// memory of a process writing that report against one writing a report of 1,000 visits (goal:
// constant, the same within a few MiB); and the per-engine statistics over those visits against
// sqlite3 running the same aggregation (goal: at most 3 times its time).
//
//   bench_report [visits]
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "journal/journal.h"
#include "journal/journal_report.h"
#include "journal/journal_stats.h"
#include "support/temp_dir.h"

extern char** environ;

namespace trasslo {
namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Writes the CSV report of `run` of the journal `file` to `out`: the child process's work.
int report_child(const char* file, const char* run, const char* out) {
    std::string error;
    auto journal = Journal::open(file, Journal::Mode::read, error);
    if (!journal || !write_report_file(*journal, std::atoll(run), ReportFormat::csv, out, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}

// The peak resident memory, in KiB, of this program started afresh to write one report.
long report_peak_kib(const char* self, const std::filesystem::path& file, std::int64_t run,
                     const std::filesystem::path& out) {
    const std::string run_text = std::to_string(run);
    const char* argv[] = {self, "--child", file.c_str(), run_text.c_str(), out.c_str(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, self, nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0)
        return -1;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss;
}

int bench_main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--child")
        return report_child(argv[2], argv[3], argv[4]);
    const long visits = argc > 1 ? std::max(1L, std::atol(argv[1])) : 1000000;
    support::TempDir folder;
    const std::filesystem::path file = folder.path() / "j.db";
    std::string error;
    std::int64_t run = 0;
    std::int64_t small = 0;  // a run of 1,000 visits, for the memory comparison
    {
        // Filled in one transaction: the bench measures reading, not a million commits.
        auto journal = Journal::open(file, Journal::Mode::write, error);
        if (!journal) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        RunInputs inputs;
        inputs.engines = {TraceEngine{true, 0, local("新浪搜索"), "http://a.test/s?q={*}"},
                          TraceEngine{true, 1, "Tandel, \"quoted\"", "http://b.test/?q={*}"}};
        run = *journal->begin_run(RunSource::cli, inputs);
        execute(journal->handle(), "BEGIN");
        VisitOutcome outcome;
        outcome.status = 200;
        outcome.attempts = 1;
        outcome.elapsed_ms = 37;
        outcome.bytes = 23456;
        outcome.charset = "utf-8";
        outcome.echoed = true;
        const long per_round = 1000;
        for (long v = 0; v < visits; ++v) {
            const TraceEngine& engine = inputs.engines[static_cast<std::size_t>(v % 2)];
            const LocalText keyword = local("关键词") + std::to_string(v / 2);
            outcome.address = "http://a.test/s?q=%B9%D8%BC%FC%B4%CA" + std::to_string(v / 2);
            outcome.final_address = outcome.address;
            outcome.title = local("关键词") + std::to_string(v / 2) + local("_搜索结果, 第一页");
            const VisitPosition position{static_cast<int>(v / per_round / 2 + 1),
                                         static_cast<int>((v / 2) % per_round + 1),
                                         static_cast<int>(v % 2 + 1)};
            if (!journal->record_visit(run, position, keyword, engine, outcome)) {
                std::fprintf(stderr, "%s\n", journal->error().c_str());
                return 1;
            }
        }
        execute(journal->handle(), "COMMIT");
        small = *journal->begin_run(RunSource::cli, inputs);
        for (int v = 0; v < 1000; ++v)
            journal->record_visit(small, VisitPosition{1, v / 2 + 1, v % 2 + 1}, "k",
                                  inputs.engines[static_cast<std::size_t>(v % 2)], outcome);
    }

    const std::string select =
        "SELECT run_id, round, keyword, engine, address, status, final_address, attempts,"
        " elapsed_ms, bytes, charset, title, echoed, noindex, error FROM visits WHERE run_id = " +
        std::to_string(run) + " ORDER BY round, keyword_index, engine_index";
    const std::string baseline_out = (folder.path() / "baseline.csv").string();
    const std::string command =
        "sqlite3 -csv '" + file.string() + "' \"" + select + "\" > '" + baseline_out + "'";

    constexpr int turns = 3;
    double ours = 0;
    double baseline = 0;
    for (int turn = 0; turn < turns; ++turn) {
        Clock::time_point start = Clock::now();
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "the sqlite3 command failed (is Debian's sqlite3 installed?)\n");
            return 1;
        }
        baseline += seconds_since(start);

        start = Clock::now();
        auto journal = Journal::open(file, Journal::Mode::read, error);
        if (!journal || !write_report_file(*journal, run, ReportFormat::csv,
                                           folder.path() / "report.csv", error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        ours += seconds_since(start);
    }
    // The statistics: the same grouping the stats command asks SQLite for, from the shell.
    const std::string trace = "(error = '' AND status BETWEEN 200 AND 399)";
    const std::string group = "SELECT engine, template, error, COUNT(*), SUM(" + trace + "), SUM(" +
                              trace + " AND echoed), MAX(visited_at), MAX(CASE WHEN " + trace +
                              " THEN visited_at END) FROM visits GROUP BY engine, template, error";
    const std::string stats_command = "sqlite3 -csv '" + file.string() + "' \"" + group + "\" > '" +
                                      (folder.path() / "baseline_stats.csv").string() + "'";
    double stats_ours = 0;
    double stats_baseline = 0;
    for (int turn = 0; turn < turns; ++turn) {
        Clock::time_point start = Clock::now();
        if (std::system(stats_command.c_str()) != 0) return 1;
        stats_baseline += seconds_since(start);

        start = Clock::now();
        auto journal = Journal::open(file, Journal::Mode::read, error);
        const JournalSelection every{journal.get(), std::nullopt, {}, {}};
        const auto rows = journal ? engine_stats({&every, 1}, error) : std::nullopt;
        if (!rows) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        const std::string text = stats_report(ReportFormat::csv, *rows);
        std::FILE* out = std::fopen((folder.path() / "stats.csv").c_str(), "wb");
        if (!out || std::fwrite(text.data(), 1, text.size(), out) != text.size()) return 1;
        std::fclose(out);
        stats_ours += seconds_since(start);
    }

    const long peak_large =
        report_peak_kib("/proc/self/exe", file, run, folder.path() / "large.csv");
    const long peak_small =
        report_peak_kib("/proc/self/exe", file, small, folder.path() / "small.csv");

    std::printf("CSV report of %ld journal visits, %d turns each\n", visits, turns);
    std::printf("  trasslo report   %8.3f s a report\n", ours / turns);
    std::printf("  sqlite3 -csv     %8.3f s for the same rows\n", baseline / turns);
    std::printf("  ratio            %8.2f of the baseline's time  (goal < 3)\n", ours / baseline);
    std::printf(
        "  peak memory      %8ld KiB for %ld visits, %ld KiB for 1000  (goal: the same"
        " within a few MiB)\n",
        peak_large, visits, peak_small);
    std::printf("Statistics over %ld journal visits, %d turns each\n", visits + 1000, turns);
    std::printf("  trasslo stats    %8.3f s\n", stats_ours / turns);
    std::printf("  sqlite3          %8.3f s for the same aggregation\n", stats_baseline / turns);
    std::printf("  ratio            %8.2f of the baseline's time  (goal <= 3)\n",
                stats_ours / stats_baseline);
    return ours / baseline < 3 && stats_ours / stats_baseline <= 3 && peak_large > 0 &&
                   peak_large - peak_small < 8192
               ? 0
               : 1;
}

}  // namespace
}  // namespace trasslo

int main(int argc, char** argv) {
    return trasslo::bench_main(argc, argv);
}
