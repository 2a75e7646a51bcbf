// The reason of a failed file operation as it goes into the program's Chinese messages.
#pragma once

#include <string>

namespace trasslo {

// The errno value `error_number` in words (UTF-8): Chinese for the common causes (not found,
// permission, no space, read-only file system, a folder where a file was meant), the C
// library's text for the rest, so that nothing is lost.
//   system_error_text(ENOENT) == "文件或文件夹不存在"
std::string system_error_text(int error_number);

}  // namespace trasslo
