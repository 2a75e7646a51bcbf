// The commands of trasslo-cli over the core: run, export, test, engines and the help texts.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "files/program_folder.h"

namespace trasslo::cli {

// Exit statuses.
inline constexpr int exit_ok = 0;
inline constexpr int exit_failed = 1;     // run cancelled for want of engines, file not writable
inline constexpr int exit_usage = 2;      // usage error, unreadable input file
inline constexpr int exit_halted = 3;     // run halted by its safeguard (run --resume goes on)
inline constexpr int exit_stopped = 130;  // SIGINT / SIGTERM

// Runs the command line `args` (without the program name) with the program's files in `folders`;
// standard input and output are the process's. Returns the exit status.
int run_cli(const std::vector<std::string>& args, const ProgramFolders& folders);
// The same with every file in `program_folder`, as a program that can write its folder keeps them.
int run_cli(const std::vector<std::string>& args, const std::filesystem::path& program_folder);

}  // namespace trasslo::cli
