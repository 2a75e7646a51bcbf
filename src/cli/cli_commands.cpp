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
#include "cli/cli_proxies.h"
#include "cli/cli_warnings.h"
#include "cli/completion_script.h"
#include "cli/import_commands.h"
#include "cli/journal_commands.h"
#include "cli/keyword_file.h"
#include "cli/stop_signals.h"
#include "cli/terminal_views.h"
#include "engines/engine_list_file.h"
#include "files/system_error_text.h"
#include "icons/icon_cache.h"
#include "journal/journal.h"
#include "run/export_link_addresses.h"
#include "run/page_visit.h"
#include "run/parallel_run.h"
#include "run/shard.h"
#include "run/trace_run.h"
#include "run/user_challenge_signs.h"
#include "run/visit_reason.h"
#include "run/window_defaults.h"
#include "settings/settings_store.h"

namespace trasslo::cli {
namespace {

Terminal terminal() {
    return standard_terminal();
}

// The usage error, and where to read the usage: the command's help when the command is known.
int usage_error(const std::string& message, Command command = Command::none) {
    const std::string help = command == Command::none
                                 ? std::string("trasslo-cli --help")
                                 : "trasslo-cli " + std::string(command_name(command)) + " --help";
    std::fprintf(stderr, "trasslo-cli：%s\n请用 %s 查看用法。\n", message.c_str(), help.c_str());
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
    if (report.halted) {
        std::fprintf(stderr, "%s\n", to_utf8(services.safeguard->halted_text()).c_str());
        return exit_halted;
    }
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

int run_command(const CliOptions& options, const ProgramFolders& folders) {
    const std::filesystem::path& folder = folders.data;
    const int sites = parallel_sites(options);
    const long timeout_ms = request_timeout_ms(options, 0);
    std::string error;
    const std::unique_ptr<ProxyPool> proxies = proxy_pool_for(options, error);
    if (!proxies) return input_error(error);
    Safeguard safeguard(safeguard_percent(options));
    const RunOnTerminal run = [&](TerminalRunView& view, const RunServices& given) {
        RunServices services = given;
        services.timeout_ms = timeout_ms;
        services.proxies = proxies.get();
        services.safeguard = &safeguard;
        return run_on_terminal(view, services, sites);
    };
    if (options.resume) return resume_run(options, folder, run);
    auto engines = engines_for(options, folder, error);
    if (!engines) return input_error(error);
    auto keywords = load_keywords(options.keywords, folders.settings, stdin, error);
    if (!keywords) return input_error(error);
    if (!has_keyword(*keywords)) {
        std::fputs("trasslo-cli：没有关键词\n", stderr);
        return exit_failed;
    }
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
    for (const std::string& warning : keyword_warnings(*keywords, *engines)) warn(warning);
    TerminalRunView view(terminal(), std::move(*engines), std::move(*keywords), local(rounds),
                         local(interval));
    return record_run(view, options, folder, shard_has_sites ? run : run_without_visits);
}

int export_command(const CliOptions& options, const ProgramFolders& folders) {
    const std::filesystem::path& folder = folders.data;
    std::string error;
    auto engines = engines_for(options, folder, error);
    if (!engines) return input_error(error);
    auto keywords = load_keywords(options.keywords, folders.settings, stdin, error);
    if (!keywords) return input_error(error);
    if (options.shard) untick_other_shards(*engines, *parse_shard(*options.shard));
    TerminalExportView view(terminal(), std::filesystem::path(*options.out), std::move(*engines),
                            std::move(*keywords));
    const StopSignals signals(request_trace_stop);
    const ExportReport report = export_link_addresses(view);
    if (report.outcome == ExportOutcome::unwritable) {
        // The window's message asks for another path; here the path and the reason say more.
        std::fprintf(stderr, "trasslo-cli：无法写出文件 %s：%s\n", options.out->c_str(),
                     system_error_text(report.error_number).c_str());
        return exit_failed;
    }
    if (signals.received()) return exit_stopped;
    return exit_ok;
}

int test_command(const CliOptions& options) {
    std::string error;
    const std::unique_ptr<ProxyPool> proxies = proxy_pool_for(options, error);
    if (!proxies) return input_error(error);
    // fetch_title's visit; a visit that left no trace says why after the title.
    const VisitOutcome outcome =
        visit_page(local(options.address), trace_test_keyword(), options.utf8 ? 1 : 0,
                   request_timeout_ms(options, 0), proxies.get());
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

// The folders in use and the files in them, one "what<TAB>path" a line.
int where_command(const ProgramFolders& folders) {
    const std::pair<const char*, std::filesystem::path> lines[] = {
        {"config", folders.settings},
        {"data", folders.data},
        {"settings", settings_file_path(folders.settings)},
        {"engines", engine_list_file_path(folders.data)},
        {"journal", journal_file_path(folders.data)},
        {"icons", icon_cache_folder(folders.data)},
    };
    for (const auto& [what, path] : lines) std::printf("%s\t%s\n", what, path.c_str());
    return exit_ok;
}

}  // namespace

int run_cli(const std::vector<std::string>& args, const std::filesystem::path& program_folder) {
    return run_cli(args, ProgramFolders{program_folder, program_folder, true});
}

int run_cli(const std::vector<std::string>& args, const ProgramFolders& folders) {
    const ParseResult parsed = parse_command_line(args);
    if (!parsed.error.empty()) return usage_error(parsed.error, parsed.options.command);
    const CliOptions& options = parsed.options;
    if (options.version) {
        std::printf("trasslo-cli %s\n", TRASSLO_VERSION);
        return exit_ok;
    }
    if (options.help) {
        std::fputs(help_text(options.command).c_str(), stdout);
        return exit_ok;
    }
    if (options.command == Command::where) return where_command(folders);
    if (options.command == Command::completion) {
        std::fputs(bash_completion_script().c_str(), stdout);
        return exit_ok;
    }
    // Commands that keep files: the user's folders exist before anything is written to them.
    if (!make_program_folders(folders))
        std::fprintf(stderr, "trasslo-cli：无法创建目录 %s 或 %s\n", folders.settings.c_str(),
                     folders.data.c_str());
    const std::filesystem::path& program_folder = folders.data;
    // A file named as a journal that is none is refused before anything is done with it.
    for (const std::string& journal : options.journals)
        if (std::string foreign = foreign_journal_file(journal); !foreign.empty())
            return input_error(foreign);
    if (options.command == Command::run || options.command == Command::test ||
        options.command == Command::check) {
        std::vector<std::string> warnings;
        load_user_challenge_signs(folders.settings, warnings);
        for (const std::string& warning : warnings) warn("trasslo-cli：" + warning);
    }
    switch (options.command) {
        case Command::run:
            return run_command(options, folders);
        case Command::export_addresses:
            return export_command(options, folders);
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
            return stats_command(options, folders.data);
        case Command::where:
        case Command::completion:
        case Command::none:
            break;
    }
    return usage_error("缺少命令");
}

}  // namespace trasslo::cli
