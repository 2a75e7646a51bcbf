// A temporary folder for one test, removed with everything in it when the test ends.
#pragma once

#include <filesystem>
#include <string>

namespace trasslo::support {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }

  private:
    std::filesystem::path path_;
};

// Whole-file helpers for tests: bytes exactly as stored.
std::string read_file_bytes(const std::filesystem::path& file);
void write_file_bytes(const std::filesystem::path& file, const std::string& bytes);

}  // namespace trasslo::support
