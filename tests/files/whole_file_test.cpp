// Whole-file reading: every byte of a regular file, and a clear failure for anything else.
#include "files/whole_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/temp_dir.h"

namespace trasslo {
namespace {

TEST(ReadWholeFile, RegularFilesWholeAndEverythingElseFailsAtOnce) {
    support::TempDir dir;
    // Larger than one read block, with zeros and bytes above 0x7F.
    std::string bytes;
    for (int i = 0; i < 200000; ++i) bytes += static_cast<char>(i * 7 % 256);
    support::write_file_bytes(dir.path() / "big.bin", bytes);
    std::string out = "stale";
    ASSERT_TRUE(read_whole_file(dir.path() / "big.bin", out));
    EXPECT_EQ(out, bytes);

    support::write_file_bytes(dir.path() / "empty.txt", "");
    EXPECT_TRUE(read_whole_file(dir.path() / "empty.txt", out));
    EXPECT_EQ(out, "");

    out = "stale";
    EXPECT_FALSE(read_whole_file(dir.path() / "missing.txt", out));
    EXPECT_EQ(out, "");
    EXPECT_FALSE(read_whole_file(dir.path(), out)) << "a folder";
    // A pipe nobody writes to would hold the reader up for ever; it is refused instead.
    const auto pipe = dir.path() / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_FALSE(read_whole_file(pipe, out));
}

}  // namespace
}  // namespace trasslo
