// The program folder: the folder of the running executable, which holds every file the program
// keeps (settings, engine list, icon cache, journal). Both programs find it the same way.
#pragma once

#include <filesystem>

namespace trasslo {

// The folder of /proc/self/exe; when that cannot be read, the folder of `argv0` made absolute,
// or the current folder when no `argv0` is given.
std::filesystem::path program_folder(const char* argv0 = nullptr);

}  // namespace trasslo
