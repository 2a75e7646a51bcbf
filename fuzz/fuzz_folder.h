// One scratch folder per fuzz process, in memory-backed storage where there is one (so that
// the flushes of atomic file replacement cost nothing), removed when the process ends.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace trasslo::fuzz {

inline const std::filesystem::path& fuzz_folder() {
    static const std::filesystem::path folder = [] {
        std::error_code ec;
        std::string base = std::filesystem::is_directory("/dev/shm", ec)
                               ? std::string("/dev/shm")
                               : std::filesystem::temp_directory_path().string();
        std::string pattern = base + "/trasslo-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(fuzz_folder(), ignored);
        });
        return std::filesystem::path(pattern);
    }();
    return folder;
}

inline void write_whole_file(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string read_whole_file(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace trasslo::fuzz
