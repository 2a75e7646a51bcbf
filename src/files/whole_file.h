// Reading a whole file into memory in large blocks.
#pragma once

#include <filesystem>
#include <string>

namespace trasslo {

// Reads everything from the start of the open file `fd` (its offset is left alone). False, with
// `out` empty, on a read error.
bool read_whole_fd(int fd, std::string& out);

// Reads the whole regular file at `path`. False, with `out` empty, when it cannot be opened, is
// no regular file (a folder, or a pipe that could hold the caller up) or fails to read; the
// reason lands in `error_number` when given (an errno value). With `streams_too` a pipe or a
// terminal is read to its end as well: the command line may wait, the window may not.
bool read_whole_file(const std::filesystem::path& path, std::string& out,
                     int* error_number = nullptr, bool streams_too = false);

}  // namespace trasslo
