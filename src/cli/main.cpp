// trasslo-cli: the trace run, the export, the engine test and the engine list without a window.
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "files/program_folder.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return trasslo::cli::run_cli(args, trasslo::program_folders(argv[0]));
}
