#include "cli/cli_commands.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "cli/check_commands.h"
#include "cli/cli_help.h"
#include "cli/cli_inputs.h"
#include "cli/cli_options.h"
#include "cli/cli_warnings.h"
#include "cli/import_commands.h"
#include "cli/journal_commands.h"
#include "cli/stop_signals.h"
#include "cli/terminal_views.h"
#include "run/export_link_addresses.h"
#include "run/page_visit.h"
#include "run/parallel_run.h"
#include "run/shard.h"
#include "run/trace_run.h"
#include "run/visit_reason.h"
#include "run/window_defaults.h"

namespace trasslo::cli {
namespace {

Terminal terminal() {
    return standard_terminal();
}

int usage_error(const std::string& message) {
    std::fprintf(stderr, "trasslo-cli：%s\n请用 trasslo-cli --help 查看用法。\n", message.c_str());
    return exit_usage;
}

int input_error(const std::string& message) {
    std::fprintf(stderr, "trasslo-cli：%s\n", message.c_str());
    return exit_usage;
}

void warn(const std::string& warning) {
    std::fprintf(stderr, "%s\n", warning.c_str());
}

// The engines as load_engines gives them, with its warnings written out.
std::optional<std::vector<TraceEngine>> engines_for(const CliOptions& options,
                                                    const std::filesystem::path& folder,
                                                    std::string& error) {
    std::vector<std::string> warnings;
    auto engines = load_engines(options.engines, folder, error, warnings);
    for (const std::string& warning : warnings) warn(warning);
    return engines;
}

// The trace run on the terminal, stopped by SIGINT and SIGTERM; the command's exit status. With
// `sites` above 1 the visits are spread over that many sites at once.
int run_on_terminal(TerminalRunView& view, const RunServices& services, int sites) {
    const StopSignals signals(request_trace_stop);
    ParallelSettings settings;
    settings.sites = sites;
    const RunReport report = sites > 1 ? run_parallel(view, services, settings)
                                       : on_start_button_clicked(view, services);
    if (signals.received()) return exit_stopped;
    if (report.cancelled || view.asked_for_engines()) return exit_failed;
    return exit_ok;
}

// With --shard K/N, only the engines of the shard's sites stay ticked; false when none does.
bool keep_shard(const CliOptions& options, std::vector<TraceEngine>& engines) {
    if (!options.shard) return true;
    untick_other_shards(engines, *parse_shard(*options.shard));
    if (std::any_of(engines.begin(), engines.end(),
                    [](const TraceEngine& engine) { return engine.enabled; }))
        return true;
    std::fprintf(stderr, "trasslo-cli：分片 %s 中没有打勾的留痕引擎\n", options.shard->c_str());
    return false;
}

// A shard with no site of the list: its run is recorded, finished without a visit, so that its
// journal joins the other shards' in one report like any other.
int run_without_visits(TerminalRunView& view, const RunServices& services) {
    if (services.recorder) {
        RunInputs inputs;
        inputs.rounds = read_loop_count(view.loop_count_text());
        inputs.interval = view.interval_text();
        inputs.keywords = split_text(view.keyword_list_text(), "\r\n");
        inputs.engines = view.engine_snapshot();
        services.recorder->run_started(inputs);
        services.recorder->run_ended(true);
    }
    return exit_ok;
}

int run_command(const CliOptions& options, const std::filesystem::path& folder) {
    const int sites = parallel_sites(options);
    const RunOnTerminal run = [sites](TerminalRunView& view, const RunServices& services) {
        return run_on_terminal(view, services, sites);
    };
    if (options.resume) return resume_run(options, folder, run);
    std::string error;
    auto engines = engines_for(options, folder, error);
    if (!engines) return input_error(error);
    auto keywords = load_keywords(options.keywords, folder, stdin, error);
    if (!keywords) return input_error(error);
    // Nobody can tick an engine here, so the window's question (tick one, or Cancel) would only
    // be answered Cancel after a "留痕完成" of nothing: say what is wrong instead.
    if (std::none_of(engines->begin(), engines->end(),
                     [](const TraceEngine& engine) { return engine.enabled; })) {
        std::fputs("trasslo-cli：没有打勾的留痕引擎\n", stderr);
        return exit_failed;
    }
    // A shard with no site of the list has nothing to do, which is no failure: the other
    // shards make the visits.
    const bool shard_has_sites = keep_shard(options, *engines);
    // Rounds and interval are read exactly as the window reads its edit boxes.
    const std::string rounds = options.rounds.value_or("1");
    const std::string interval = options.interval.value_or("0");
    if (auto warning = rounds_warning(rounds)) warn(*warning);
    if (auto warning = interval_warning(interval)) warn(*warning);
    TerminalRunView view(terminal(), std::move(*engines), std::move(*keywords), local(rounds),
                         local(interval));
    return record_run(view, options, folder, shard_has_sites ? run : run_without_visits);
}

int export_command(const CliOptions& options, const std::filesystem::path& folder) {
    std::string error;
    auto engines = engines_for(options, folder, error);
    if (!engines) return input_error(error);
    auto keywords = load_keywords(options.keywords, folder, stdin, error);
    if (!keywords) return input_error(error);
    if (options.shard) untick_other_shards(*engines, *parse_shard(*options.shard));
    TerminalExportView view(terminal(), std::filesystem::path(*options.out), std::move(*engines),
                            std::move(*keywords));
    const StopSignals signals(request_trace_stop);
    const ExportReport report = export_link_addresses(view);
    if (report.outcome == ExportOutcome::unwritable) {
        // The window's message asks for another path; here the path and the reason say more.
        std::fprintf(stderr, "trasslo-cli：无法写出文件 %s：%s\n", options.out->c_str(),
                     std::strerror(report.error_number));
        return exit_failed;
    }
    if (signals.received()) return exit_stopped;
    return exit_ok;
}

int test_command(const CliOptions& options) {
    // fetch_title's visit; a visit that left no trace says why after the title.
    const VisitOutcome outcome =
        visit_page(local(options.address), trace_test_keyword(), options.utf8 ? 1 : 0);
    std::printf("%s\n", terminal_line(outcome.title + visit_failure_reason(outcome)).c_str());
    return outcome.left_trace() ? exit_ok : exit_failed;
}

int engines_command(const CliOptions& options, const std::filesystem::path& folder) {
    std::string error;
    auto engines = engines_for(options, folder, error);
    if (!engines) return input_error(error);
    for (const TraceEngine& engine : *engines) {
        std::printf("%s\t%d\t%s\t%s\n",
                    to_utf8(engine.enabled ? true_word() : false_word()).c_str(), engine.encoding,
                    terminal_line(engine_item_text(engine)).c_str(),
                    terminal_line(engine.address).c_str());
    }
    return exit_ok;
}

}  // namespace

int run_cli(const std::vector<std::string>& args, const std::filesystem::path& program_folder) {
    const ParseResult parsed = parse_command_line(args);
    if (!parsed.error.empty()) return usage_error(parsed.error);
    const CliOptions& options = parsed.options;
    if (options.help) {
        std::fputs(help_text(options.command).c_str(), stdout);
        return exit_ok;
    }
    switch (options.command) {
        case Command::run:
            return run_command(options, program_folder);
        case Command::export_addresses:
            return export_command(options, program_folder);
        case Command::test:
            return test_command(options);
        case Command::engines:
            return engines_command(options, program_folder);
        case Command::report:
            return report_command(options, program_folder);
        case Command::runs:
            return runs_command(options, program_folder);
        case Command::import_engines:
            return import_command(options, program_folder);
        case Command::dedupe:
            return dedupe_command(options, program_folder);
        case Command::check:
            return check_command(options, program_folder);
        case Command::stats:
            return stats_command(options, program_folder);
        case Command::none:
            break;
    }
    return usage_error("缺少命令");
}

}  // namespace trasslo::cli
