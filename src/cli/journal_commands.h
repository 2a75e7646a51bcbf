// The journal on the command line: `run` recorded (and resumed, and reported with --report),
// `report`, `stats` and `runs`.
#pragma once

#include <filesystem>
#include <functional>

#include "cli/cli_options.h"
#include "cli/terminal_views.h"
#include "run/trace_run.h"

namespace trasslo::cli {

// Runs the trace run on a view with the given services and gives the command's exit status;
// the caller's wrapper around on_start_button_clicked with its stop signals.
using RunOnTerminal = std::function<int(TerminalRunView& view, const RunServices& services)>;

// `run`: the run on `view`, recorded in the journal (--journal FILE, else the program
// folder's), then its report written when --report FILE asks for one.
int record_run(TerminalRunView& view, const CliOptions& options,
               const std::filesystem::path& program_folder, const RunOnTerminal& run);

// `run --resume`: the latest run of the journal that did not finish, continued with the inputs
// recorded for it; exit status 2 when there is none.
int resume_run(const CliOptions& options, const std::filesystem::path& program_folder,
               const RunOnTerminal& run);

// `report`: the visits of the latest run (--run N, --all) of each journal given, as CSV or
// JSON Lines, to --out FILE or standard output.
int report_command(const CliOptions& options, const std::filesystem::path& program_folder);

// `stats`: one line per engine over the runs of every journal given (--since, --until by the
// runs' start), as CSV or JSON Lines, to --out FILE or standard output.
int stats_command(const CliOptions& options, const std::filesystem::path& program_folder);

// `runs`: one line per run of the journal: id, start time, source, state, visits, echoed.
int runs_command(const CliOptions& options, const std::filesystem::path& program_folder);

}  // namespace trasslo::cli
