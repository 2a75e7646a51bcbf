// The engine check on the command line: `check`.
#pragma once

#include <filesystem>

#include "cli/cli_options.h"

namespace trasslo::cli {

// check [--engines FILE] [--keyword WORD] [--all] [--report FILE] [--untick] [--fix-encoding]
// [--journal FILE] [--parallel N] [--shard K/N]: checks the ticked engines (every one with
// --all) in list order, one line each, then "检测完成：N 个有效，M 个无效". With --shard only
// the engines of the shard's sites are checked (none: said on standard error, exit status 0);
// with --parallel above 1 up to N sites are checked at once, the lines coming as the checks end
// and the report still in list order. Every check is recorded in the journal. With --untick
// the checked engines whose verdict is not ok are unticked, with --fix-encoding the
// encoding-mismatch ones take the suggested encoding, and the list is saved atomically. Exit
// status 0; 1 when there is no engine to check or a file could not be written; 2 for an engine
// list that cannot be read; 130 when SIGINT or SIGTERM stopped it (what was checked until then
// is still reported, recorded and applied).
int check_command(const CliOptions& options, const std::filesystem::path& program_folder);

}  // namespace trasslo::cli
