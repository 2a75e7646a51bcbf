// The shell completion of trasslo-cli, written from the command table the parser itself uses,
// so that a new command or option completes without another edit.
#pragma once

#include <string>

namespace trasslo::cli {

// A bash script that defines the completion of "trasslo-cli" when sourced: the commands as the
// first word (and after "help"), each command's options after a "-", and file names elsewhere.
std::string bash_completion_script();

}  // namespace trasslo::cli
