// An exclusive lock on a folder, for programs that read a file of it, change it and save it
// whole (the engine list): two of them at once would each save what they read, and the last
// to save would undo the other's changes. flock on the folder itself leaves no file behind.
#pragma once

#include <filesystem>

namespace trasslo {

class FolderLock {
  public:
    // Waits for the lock; without one where the folder cannot be opened.
    explicit FolderLock(const std::filesystem::path& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

  private:
    int fd_;
};

// The folder of `file`, "." for a bare name.
std::filesystem::path folder_of(const std::filesystem::path& file);

}  // namespace trasslo
