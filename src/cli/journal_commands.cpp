#include "cli/journal_commands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "files/system_error_text.h"
#include "journal/journal.h"
#include "journal/journal_html_report.h"
#include "journal/journal_recorder.h"
#include "journal/journal_report.h"
#include "journal/journal_stats.h"
#include "text/local_text.h"

namespace trasslo::cli {
namespace {

namespace fs = std::filesystem;

// The journal named last with --journal, else the program folder's.
fs::path journal_of(const CliOptions& options, const fs::path& folder) {
    return options.journals.empty() ? journal_file_path(folder) : fs::path(options.journals.back());
}

int failure(int status, const std::string& message) {
    std::fprintf(stderr, "trasslo-cli：%s\n", message.c_str());
    return status;
}

// A file for a report, or standard output; closed (and checked) by finish().
class ReportOutput {
  public:
    explicit ReportOutput(const std::optional<std::string>& path) : path_(path) {
        file_ = path ? std::fopen(path->c_str(), "wb") : stdout;
        if (file_) std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
    }
    ~ReportOutput() {
        if (file_ && file_ != stdout) std::fclose(file_);
    }
    ReportOutput(const ReportOutput&) = delete;
    ReportOutput& operator=(const ReportOutput&) = delete;

    std::FILE* get() const { return file_; }
    // Why it could not be opened or written: the path and the system's reason.
    std::string problem() const {
        return "无法写出文件 " + path_.value_or("（标准输出）") + "：" + system_error_text(errno);
    }
    bool finish() {
        bool ok = std::fflush(file_) == 0 && !std::ferror(file_);
        if (file_ != stdout) ok = std::fclose(file_) == 0 && ok;
        file_ = nullptr;
        return ok;
    }

  private:
    std::optional<std::string> path_;
    std::FILE* file_ = nullptr;
};

// Writes the report of one run of `journal` to `path` in the format its name asks for.
bool write_run_report(Journal& journal, std::int64_t run, const std::string& path) {
    std::string error;
    if (write_report_file(journal, run, report_format_of(path).value_or(ReportFormat::csv), path,
                          error))
        return true;
    failure(exit_failed, error);
    return false;
}

// The run on the terminal with `recorder`, then its report.
int run_with(TerminalRunView& view, JournalRecorder& recorder, const CliOptions& options,
             const RunOnTerminal& run) {
    RunServices services;
    services.recorder = &recorder;
    const int status = run(view, services);
    if (options.report) {
        Journal* journal = recorder.journal();
        const bool written = journal && recorder.run_id() &&
                             write_run_report(*journal, *recorder.run_id(), *options.report);
        if (!journal || !recorder.run_id())
            failure(exit_failed, "无法写出报告 " + *options.report + "：留痕记录不可用");
        if (!written) return status == exit_ok ? exit_failed : status;
    }
    return status;
}

// Keywords as the keyword list's text: each followed by CR LF, which splits back into them.
LocalText keyword_list_text(const std::vector<LocalText>& keywords) {
    LocalText text;
    for (const LocalText& keyword : keywords) text += keyword + "\r\n";
    return text;
}

// "2024-05-01T12:00:00+08:00" in the local time zone.
std::string local_iso_time(std::int64_t unix_ms) {
    const std::time_t seconds = static_cast<std::time_t>(unix_ms / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    std::string out = text;
    if (out.size() >= 5) out.insert(out.size() - 2, ":");  // +0800 -> +08:00
    return out;
}

std::string run_ids(const std::vector<RunSummary>& runs) {
    std::string ids;
    for (const RunSummary& run : runs) ids += (ids.empty() ? "" : ", ") + std::to_string(run.id);
    return ids.empty() ? "（无）" : ids;
}

}  // namespace

int record_run(TerminalRunView& view, const CliOptions& options, const fs::path& folder,
               const RunOnTerminal& run) {
    JournalRecorder recorder(
        journal_of(options, folder), RunSource::cli,
        [&view](const std::string& text) { view.show_notice(text); },
        /*memory_fallback=*/options.report.has_value());
    return run_with(view, recorder, options, run);
}

int resume_run(const CliOptions& options, const fs::path& folder, const RunOnTerminal& run) {
    const fs::path file = journal_of(options, folder);
    std::string error;
    std::unique_ptr<Journal> journal = Journal::open(file, Journal::Mode::write, error);
    if (!journal) return failure(exit_usage, error);
    const std::optional<std::int64_t> id = journal->latest_unfinished_run();
    if (!id)
        return failure(exit_usage, "留痕记录 " + file.string() + " 中没有未完成的留痕可以继续");
    std::optional<RunInputs> inputs = journal->run_inputs(*id);
    if (!inputs) return failure(exit_usage, journal->error());
    TerminalRunView view(standard_terminal(), std::move(inputs->engines),
                         keyword_list_text(inputs->keywords), std::to_string(inputs->rounds),
                         inputs->interval);
    JournalRecorder recorder(std::move(journal), *id,
                             [&view](const std::string& text) { view.show_notice(text); });
    return run_with(view, recorder, options, run);
}

namespace {

// The journals a report or statistics read: those given with --journal, else the program
// folder's.
std::vector<fs::path> journal_files(const CliOptions& options, const fs::path& folder) {
    std::vector<fs::path> files;
    for (const std::string& name : options.journals) files.emplace_back(name);
    if (files.empty()) files.push_back(journal_file_path(folder));
    return files;
}

}  // namespace

int report_command(const CliOptions& options, const fs::path& folder) {
    const std::vector<fs::path> files = journal_files(options, folder);
    // --format says; else the extension of --out does; else CSV.
    const std::string out_name = options.out.value_or("");
    const bool html = options.format ? *options.format == "html"
                                     : ascii_lower(out_name).ends_with(".html") ||
                                           ascii_lower(out_name).ends_with(".htm");
    const ReportFormat format =
        options.format ? (*options.format == "jsonl" ? ReportFormat::jsonl : ReportFormat::csv)
                       : report_format_of(out_name).value_or(ReportFormat::csv);
    const std::optional<std::int64_t> wanted =
        options.run_id ? std::optional<std::int64_t>(std::stoll(*options.run_id)) : std::nullopt;

    // Every journal is opened and its run found before a byte is written.
    struct Source {
        std::unique_ptr<Journal> journal;
        std::optional<std::int64_t> run;  // nothing: every run (--all)
        std::string name;                 // as given, for the journal column of a joined report
    };
    std::vector<Source> sources;
    for (const fs::path& file : files) {
        std::string error;
        std::unique_ptr<Journal> journal = Journal::open(file, Journal::Mode::read, error);
        if (!journal) return failure(exit_usage, error);
        const std::optional<std::vector<RunSummary>> runs = journal->runs();
        if (!runs) return failure(exit_usage, journal->error());
        std::optional<std::int64_t> run;
        if (wanted) {
            bool known = false;
            for (const RunSummary& summary : *runs) known = known || summary.id == *wanted;
            if (!known)
                return failure(exit_usage, "留痕记录 " + file.string() + " 中没有编号为 " +
                                               *options.run_id + " 的留痕；有：" + run_ids(*runs));
            run = wanted;
        } else if (!options.all) {
            if (runs->empty()) continue;  // no run yet: nothing to report from this one
            run = runs->back().id;
        }
        sources.push_back(Source{std::move(journal), run, file.string()});
    }

    ReportOutput out(options.out);
    if (!out.get()) return failure(exit_failed, out.problem());
    if (html) {
        std::vector<JournalSelection> selections;
        for (Source& source : sources)
            selections.push_back(JournalSelection{source.journal.get(), source.run, {}, {}});
        std::string error;
        if (!write_html_report(selections, HtmlReportOptions{.by_day = options.all}, out.get(),
                               error))
            return failure(exit_failed, error);
    } else {
        // Rows joined from several journals say which one each came from.
        const bool joined = files.size() > 1;
        write_report_start(format, out.get(), joined);
        for (Source& source : sources) {
            std::string error;
            if (!write_report_rows(*source.journal, source.run, format, out.get(), error,
                                   joined ? &source.name : nullptr))
                return failure(exit_failed, error);
        }
    }
    if (!out.finish()) return failure(exit_failed, out.problem());
    return exit_ok;
}

int stats_command(const CliOptions& options, const fs::path& folder) {
    std::vector<std::unique_ptr<Journal>> journals;
    std::vector<JournalSelection> selections;
    // --until names the last day taken, so the window ends where the next day starts.
    const std::optional<std::int64_t> since =
        options.since ? local_day_start_ms(*options.since) : std::nullopt;
    std::optional<std::int64_t> until;
    if (options.until) {
        std::tm day{};
        const std::time_t start =
            static_cast<std::time_t>(*local_day_start_ms(*options.until) / 1000);
        localtime_r(&start, &day);
        day.tm_mday += 1;
        day.tm_isdst = -1;
        until = static_cast<std::int64_t>(std::mktime(&day)) * 1000;
    }
    for (const fs::path& file : journal_files(options, folder)) {
        std::string error;
        std::unique_ptr<Journal> journal = Journal::open(file, Journal::Mode::read, error);
        if (!journal) return failure(exit_usage, error);
        selections.push_back(JournalSelection{journal.get(), std::nullopt, since, until});
        journals.push_back(std::move(journal));
    }
    std::string error;
    const std::optional<std::vector<EngineStats>> rows = engine_stats(selections, error);
    if (!rows) return failure(exit_failed, error);
    const std::string text =
        stats_report(options.format == "jsonl" ? ReportFormat::jsonl : ReportFormat::csv, *rows);
    ReportOutput out(options.out);
    if (!out.get()) return failure(exit_failed, out.problem());
    if (std::fwrite(text.data(), 1, text.size(), out.get()) != text.size() || !out.finish())
        return failure(exit_failed, out.problem());
    return exit_ok;
}

int runs_command(const CliOptions& options, const fs::path& folder) {
    std::string error;
    const std::unique_ptr<Journal> journal =
        Journal::open(journal_of(options, folder), Journal::Mode::read, error);
    if (!journal) return failure(exit_usage, error);
    const std::optional<std::vector<RunSummary>> runs = journal->runs();
    if (!runs) return failure(exit_usage, journal->error());
    std::printf("id\tstarted\tsource\tstate\tvisits\techoed\n");
    for (const RunSummary& run : *runs) {
        std::printf("%lld\t%s\t%s\t%s\t%lld\t%lld\n", static_cast<long long>(run.id),
                    local_iso_time(run.started_ms).c_str(), run.source.c_str(), run.state.c_str(),
                    static_cast<long long>(run.visits), static_cast<long long>(run.echoed));
    }
    return exit_ok;
}

}  // namespace trasslo::cli
