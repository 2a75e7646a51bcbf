#include "files/program_folder.h"

#include <system_error>

namespace trasslo {

std::filesystem::path program_folder(const char* argv0) {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) return exe.parent_path();
    if (argv0 != nullptr) {
        exe = std::filesystem::absolute(argv0, error);
        if (!error) return exe.parent_path();
    }
    return std::filesystem::current_path(error);
}

}  // namespace trasslo
