#include "files/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace trasslo {

FolderLock::FolderLock(const std::filesystem::path& folder)
    : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ >= 0) ::flock(fd_, LOCK_EX);
}

FolderLock::~FolderLock() {
    if (fd_ >= 0) ::close(fd_);
}

std::filesystem::path folder_of(const std::filesystem::path& file) {
    return file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
}

}  // namespace trasslo
