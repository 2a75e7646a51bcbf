// The commands of trasslo-cli over the core: run, export, test, engines and the help texts.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace trasslo::cli {

// Exit statuses.
inline constexpr int exit_ok = 0;
inline constexpr int exit_failed = 1;     // run cancelled for want of engines, file not writable
inline constexpr int exit_usage = 2;      // usage error, unreadable input file
inline constexpr int exit_halted = 3;     // run halted by its safeguard (run --resume goes on)
inline constexpr int exit_stopped = 130;  // SIGINT / SIGTERM

// Runs the command line `args` (without the program name) with `program_folder` as the folder
// of the program's files; standard input and output are the process's. Returns the exit status.
int run_cli(const std::vector<std::string>& args, const std::filesystem::path& program_folder);

}  // namespace trasslo::cli
