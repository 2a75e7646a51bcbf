// The engine list file "留痕引擎列表.txt" in the program folder: one engine per line,
// flag "|" code "|" name "|" address CR LF, in GBK. Nothing is escaped, so a "|" or a line break
// inside a name is written as it is and reads back differently.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>
#include <vector>

#include "engines/trace_engine.h"

namespace trasslo {

// The file's path in `program_folder` (the name converted to UTF-8 for the file system).
std::filesystem::path engine_list_file_path(const std::filesystem::path& program_folder);

// The built-in list of eight ticked engines, in the file's format, without a CR LF after the
// last line.
LocalText default_engine_list_text();

// Parses file text: lines at CR LF (empty lines between two CR LF stay, an empty rest is
// dropped), fields at "|" by the same rule; missing fields are empty, fields beyond the fourth
// are ignored, enabled is exactly "真", the code is read like atoi. Empty text gives no engine.
std::vector<TraceEngine> parse_engine_list_text(std::string_view text);

// The numbers (from 1) of the lines of file text that are not of the form the file is written in:
// "真" or "假", "|", the code as a decimal integer, "|", name, "|", address, with no further "|".
// Such lines are still read as parse_engine_list_text reads them; this only names them, for
// front ends that warn about them. Lines are counted as parse_engine_list_text cuts them.
std::vector<std::size_t> malformed_engine_lines(std::string_view text);

// Formats engines in the file's format, every line ending in CR LF; no engine gives "".
LocalText format_engine_list_text(const std::vector<TraceEngine>& engines);

// Reads the file in `program_folder` in whatever charset it was saved (GBK, UTF-8 with or without
// mark, UTF-16) and parses it; when it yields no line (missing, empty, unreadable) the default
// list is parsed instead. Half a character at the very end (a cut-off file) is dropped, so that
// what is loaded and saved loads back the same. Never fails.
std::vector<TraceEngine> read_engine_list_file(const std::filesystem::path& program_folder);

// The file's text as read_engine_list_file reads it, before parsing: decoded to local text,
// without a cut-off last character; "" for a missing or unreadable file.
LocalText read_engine_list_file_text(const std::filesystem::path& program_folder);

// Writes the engines to the file in `program_folder`, replacing it atomically: the text goes to a
// temporary file in the same folder, is flushed to disk and renamed over the old file, so a failed
// or interrupted write leaves the old file whole. Returns false on failure (callers ignore it).
bool write_engine_list_file(const std::filesystem::path& program_folder,
                            const std::vector<TraceEngine>& engines);

// The same for an engine list file at any path (the command line's --engines FILE).
bool write_engine_list_file_at(const std::filesystem::path& file,
                               const std::vector<TraceEngine>& engines);

}  // namespace trasslo
