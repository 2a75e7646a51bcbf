// Whole-file replacement: the new bytes or the old file, the old permissions, no leftovers.
#include "files/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "support/temp_dir.h"

namespace trasslo {
namespace {

std::string contents(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::size_t entries(const std::filesystem::path& folder) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++n;
    return n;
}

TEST(ReplaceFileAtomically, NewFileThenReplacementKeepingPermissions) {
    support::TempDir dir;
    const auto file = dir.path() / "list.txt";
    ASSERT_TRUE(replace_file_atomically(file, std::string("a\0b", 3)));
    EXPECT_EQ(contents(file), std::string("a\0b", 3));
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);

    ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
    ASSERT_TRUE(replace_file_atomically(file, ""));
    EXPECT_EQ(contents(file), "");
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(entries(dir.path()), 1u) << "no temporary file left";
}

TEST(ReplaceFileAtomically, FailureLeavesTheOldStateAndNoLeftovers) {
    support::TempDir dir;
    // The target is a folder that holds a file: the rename cannot replace it.
    const auto busy = dir.path() / "busy";
    std::filesystem::create_directories(busy / "inner");
    EXPECT_FALSE(replace_file_atomically(busy, "new"));
    EXPECT_TRUE(std::filesystem::is_directory(busy / "inner"));
    EXPECT_EQ(entries(dir.path()), 1u);
    // A folder that does not exist.
    EXPECT_FALSE(replace_file_atomically(dir.path() / "missing" / "f", "x"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));
}

}  // namespace
}  // namespace trasslo
