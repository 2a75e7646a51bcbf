// The help texts of trasslo-cli (UTF-8, for the terminal).
#pragma once

#include <string>

#include "cli/cli_options.h"

namespace trasslo::cli {

// The program's help for Command::none, else the command's own.
std::string help_text(Command command);

}  // namespace trasslo::cli
