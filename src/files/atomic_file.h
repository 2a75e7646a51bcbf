// Replacing a whole file so that a reader, a crash or a full disk never sees half of it.
#pragma once

#include <filesystem>
#include <string_view>

namespace trasslo {

// Writes `bytes` to a temporary file beside `target`, flushes it to disk and renames it over
// `target`, then flushes the folder entry. A failed or interrupted write leaves the old file
// whole and no temporary file behind. The old file's permissions are kept; a new file gets
// rw-r--r--. Returns false on any failure.
bool replace_file_atomically(const std::filesystem::path& target, std::string_view bytes);

}  // namespace trasslo
