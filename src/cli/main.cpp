// trasslo-cli: the trace run, the export, the engine test and the engine list without a window.
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "cli/cli_commands.h"

int main(int argc, char** argv) {
    // The program folder is the folder of the executable, as for the window program.
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) exe = std::filesystem::absolute(argv[0], ec);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return trasslo::cli::run_cli(args, exe.parent_path());
}
