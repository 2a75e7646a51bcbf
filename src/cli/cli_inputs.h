// Where trasslo-cli takes its engines and keywords from: the files named on the command line,
// standard input, or what the window would use (the program folder's engine list file, the
// keyword list it saved).
#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engines/trace_engine.h"
#include "text/local_text.h"

namespace trasslo::cli {

// Lines may end with LF alone; the core splits at CR LF, so every lone LF becomes CR LF.
LocalText normalize_line_ends(std::string_view text);

// The engine list file a command works on: --engines FILE, else the one beside the program.
std::filesystem::path engine_list_file_for(const std::optional<std::string>& file,
                                           const std::filesystem::path& program_folder);

// The engines of `file` (in any detected charset), or of the program folder's engine list file,
// which like the window falls back to the eight defaults. Nothing, with `error` set, when the
// named file cannot be read. An empty named file gives no engines. Lines of the file that are
// not in its form are read all the same, and get a warning each in `warnings`.
std::optional<std::vector<TraceEngine>> load_engines(const std::optional<std::string>& file,
                                                     const std::filesystem::path& program_folder,
                                                     std::string& error,
                                                     std::vector<std::string>& warnings);

// The keyword list text with CR LF line ends: of `file` ("-" reads `in`), else the keyword list
// the main window saved under "inibin" in `settings_folder`, else the designed default text.
// Nothing, with `error` set, when the named file cannot be read or is no text (keyword_file.h).
// A named file's blank lines are left out.
std::optional<LocalText> load_keywords(const std::optional<std::string>& file,
                                       const std::filesystem::path& settings_folder, std::FILE* in,
                                       std::string& error);

}  // namespace trasslo::cli
