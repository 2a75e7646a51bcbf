#include "files/program_folder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace trasslo {
namespace {

std::optional<std::string> environment_value(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

// An XDG base folder: the variable when it holds an absolute path, else HOME + `fallback`.
std::filesystem::path base_folder(const std::optional<std::string>& value,
                                  const std::optional<std::string>& home, const char* fallback) {
    if (value && !value->empty() && std::filesystem::path(*value).is_absolute()) return *value;
    return std::filesystem::path(home.value_or("/")) / fallback;
}

}  // namespace

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

XdgEnvironment process_xdg_environment() {
    XdgEnvironment environment{environment_value("XDG_CONFIG_HOME"),
                               environment_value("XDG_DATA_HOME"), environment_value("HOME")};
    if (!environment.home || environment.home->empty()) {
        // A service started without HOME still has a home in the password database.
        environment.home.reset();
        if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr)
            environment.home = entry->pw_dir;
    }
    return environment;
}

ProgramFolders choose_program_folders(const std::filesystem::path& folder, bool folder_writable,
                                      const XdgEnvironment& environment) {
    if (folder_writable) return {folder, folder, true};
    return {base_folder(environment.config_home, environment.home, ".config") / "trasslo",
            base_folder(environment.data_home, environment.home, ".local/share") / "trasslo",
            false};
}

ProgramFolders program_folders(const char* argv0) {
    const std::filesystem::path folder = program_folder(argv0);
    // access() answers for the real user, who is the one writing the files; a read-only file
    // system answers no as well.
    const bool writable = access(folder.c_str(), W_OK | X_OK) == 0;
    return choose_program_folders(folder, writable, process_xdg_environment());
}

bool make_program_folders(const ProgramFolders& folders) {
    if (folders.beside_program) return true;
    bool made = true;
    for (const std::filesystem::path& folder : {folders.settings, folders.data}) {
        // Each missing level from the top down, for the user alone (the XDG rule: 0700).
        std::filesystem::path level;
        for (const std::filesystem::path& part : folder) {
            level /= part;
            if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) break;
        }
        std::error_code error;
        if (!std::filesystem::is_directory(folder, error)) made = false;
    }
    return made;
}

}  // namespace trasslo
