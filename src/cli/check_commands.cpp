#include "cli/check_commands.h"

#include "text/lossless_text.h"

#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "check/check_report.h"
#include "check/check_run.h"
#include "check/parallel_check.h"
#include "cli/cli_commands.h"
#include "cli/cli_inputs.h"
#include "cli/cli_proxies.h"
#include "cli/stop_signals.h"
#include "cli/terminal_views.h"
#include "engines/engine_list_file.h"
#include "files/folder_lock.h"
#include "journal/journal.h"
#include "net/site_of_host.h"
#include "run/shard.h"

namespace trasslo::cli {
namespace {

namespace fs = std::filesystem;

int failure(int status, const std::string& message) {
    std::fprintf(stderr, "trasslo-cli：%s\n", message.c_str());
    return status;
}

}  // namespace

int check_command(const CliOptions& options, const fs::path& folder) {
    std::string error;
    std::vector<std::string> warnings;
    std::optional<std::vector<TraceEngine>> engines =
        load_engines(options.engines, folder, error, warnings);
    for (const std::string& warning : warnings) std::fprintf(stderr, "%s\n", warning.c_str());
    if (!engines) return failure(exit_usage, error);

    std::vector<TraceEngine> chosen;
    for (std::size_t position : engines_to_check(*engines, options.all))
        chosen.push_back((*engines)[position]);
    if (chosen.empty())
        return failure(exit_failed, options.all ? "留痕引擎列表中没有引擎" : "没有打勾的留痕引擎");
    if (options.shard) {
        // Only the engines of the shard's sites; the other shards check the rest, so a shard
        // without a site of the list has nothing to do, which is no failure.
        const ShardChoice shard = *parse_shard(*options.shard);
        std::erase_if(chosen, [&shard](const TraceEngine& engine) {
            return shard_of_site(site_of_address(engine.address), shard.count) != shard.index;
        });
        if (chosen.empty()) {
            std::fprintf(stderr, "trasslo-cli：分片 %s 中没有要检测的留痕引擎\n",
                         options.shard->c_str());
            return exit_ok;
        }
    }

    const std::unique_ptr<ProxyPool> proxies = proxy_pool_for(options, error);
    if (!proxies) return failure(exit_usage, error);
    const LocalText keyword =
        options.keyword ? lossless_from_utf8(*options.keyword) : default_check_keyword();
    // In list order whatever the order the checks ended in, so that the report is the one the
    // check one engine after the other writes.
    std::map<std::size_t, EngineCheck> by_position;
    CheckTotals totals;
    bool stopped = false;
    {
        TerminalCheckView view(standard_terminal(), static_cast<int>(chosen.size()));
        const std::unique_ptr<Journal> journal =
            open_check_journal(options.journals.empty() ? journal_file_path(folder)
                                                        : fs::path(options.journals.back()),
                               [&view](const std::string& text) { view.show_notice(text); });
        const StopSignals signals;
        const EngineChecked checked = [&](std::size_t position, const EngineCheck& check) {
            view.engine_checked(check_status_line(check));
            by_position.emplace(position, check);
        };
        const CheckNotice notice = [&view](const std::string& text) { view.show_notice(text); };
        const int sites = parallel_sites(options);
        const long timeout_ms = request_timeout_ms(options, kCheckTimeoutMs);
        totals = sites > 1
                     ? check_engines_in_parallel(chosen, keyword, sites, signals.flag(), checked,
                                                 journal.get(), notice, timeout_ms, proxies.get())
                     : check_engines(chosen, keyword, signals.flag(), checked, journal.get(),
                                     notice, timeout_ms, proxies.get());
        stopped = signals.received();
        totals.stopped = totals.stopped || stopped;
        view.finish(check_done_text(totals));
    }

    std::vector<EngineCheck> checks;
    for (auto& [position, check] : by_position) checks.push_back(std::move(check));
    int status = exit_ok;
    if (options.report && !write_check_report(*options.report, checks, error))
        status = failure(exit_failed, error);
    if (options.untick || options.fix_encoding) {
        const fs::path file = engine_list_file_for(options.engines, folder);
        // Shards checking one list save it one after the other, each into the list as the one
        // before left it: the list is read again under a lock on its folder, so that no shard's
        // unticks are lost to another's save.
        const FolderLock lock(folder_of(file));
        std::vector<std::string> ignored;
        if (auto now = load_engines(options.engines, folder, error, ignored))
            engines = std::move(now);
        apply_checks(*engines, checks, options.untick, options.fix_encoding);
        if (!write_engine_list_file_at(file, *engines))
            status =
                failure(exit_failed, "无法写出留痕引擎列表 " + file.string() + "，文件保持原样");
    }
    return stopped ? exit_stopped : status;
}

}  // namespace trasslo::cli
