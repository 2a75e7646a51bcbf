// The program folder and the folders that hold the program's files. A program that can write the
// folder of its executable keeps every file there (settings, engine list, icon cache, journal),
// so that a copied folder stays portable; an installed one, whose folder belongs to the system,
// keeps them in the user's XDG base folders instead. Both programs decide it the same way.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace trasslo {

// The folder of /proc/self/exe; when that cannot be read, the folder of `argv0` made absolute,
// or the current folder when no `argv0` is given.
std::filesystem::path program_folder(const char* argv0 = nullptr);

// Where the files live: the settings file (with "inibin/") in `settings`; the engine list, the
// journal and the icon cache in `data`. Both are the program folder when `beside_program`.
struct ProgramFolders {
    std::filesystem::path settings;
    std::filesystem::path data;
    bool beside_program = true;
};

// The environment values the choice reads; an absent one is std::nullopt.
struct XdgEnvironment {
    std::optional<std::string> config_home;  // XDG_CONFIG_HOME
    std::optional<std::string> data_home;    // XDG_DATA_HOME
    std::optional<std::string> home;         // HOME
};

// The process's own environment (HOME falls back to the password database).
XdgEnvironment process_xdg_environment();

// The folders for a program in `folder`: `folder` itself when `folder_writable`, else
// $XDG_CONFIG_HOME/trasslo and $XDG_DATA_HOME/trasslo. An unset, empty or relative XDG value
// counts as unset (the XDG rule), giving $HOME/.config/trasslo and $HOME/.local/share/trasslo.
ProgramFolders choose_program_folders(const std::filesystem::path& folder, bool folder_writable,
                                      const XdgEnvironment& environment);

// The folders of the running program (`program_folder(argv0)`, its writability and the process's
// environment).
ProgramFolders program_folders(const char* argv0 = nullptr);

// Creates the XDG folders (mode 0700) when they are in use; false when one cannot be made.
bool make_program_folders(const ProgramFolders& folders);

}  // namespace trasslo
