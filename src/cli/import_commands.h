// The commands that bring engines in from other tools' lists and take duplicates out of an
// engine list: `import` and `dedupe`.
#pragma once

#include <filesystem>

#include "cli/cli_options.h"

namespace trasslo::cli {

// import FILE... [--engines FILE] [--encoding gbk|utf8] [--placeholder TEXT] [--dry-run]:
// appends the engines of the files that are not yet in the list, ticked, and saves the list
// atomically; the summary goes to standard error. 0 when something was imported or nothing but
// duplicates came in; 1 when every line was skipped as invalid or without a placeholder, or the
// list could not be written; 2 for a file that cannot be read.
int import_command(const CliOptions& options, const std::filesystem::path& program_folder);

// dedupe [--engines FILE] [--write]: lists the groups of engines that are the same engine, the
// first of each kept; with --write removes the others and saves. 1 when the write failed.
int dedupe_command(const CliOptions& options, const std::filesystem::path& program_folder);

}  // namespace trasslo::cli
