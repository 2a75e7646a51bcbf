// Engine list file inputs found by fuzzing, kept as regression cases.
#include <gtest/gtest.h>

#include "engines/engine_list_file.h"
#include "support/temp_dir.h"

namespace trasslo {
namespace {

using support::TempDir;
using support::write_file_bytes;

// A file cut off after the first byte of a double-byte character: the byte used to stay at the
// end of the last address, took the CR LF written behind it as its second half on the next
// save, and an engine added after it vanished into that line on the load after.
TEST(EngineListFileRegression, CutCharacterAtTheEndDoesNotSwallowTheNextEngine) {
    TempDir dir;
    for (const std::string& cut : {std::string("\x81"), std::string("\xD5"), std::string("\xFE")}) {
        const std::string text = local("假|1|名字|http://a.cn/?q={*}") + cut;
        write_file_bytes(engine_list_file_path(dir.path()), text);

        std::vector<TraceEngine> engines = read_engine_list_file(dir.path());
        ASSERT_EQ(engines.size(), 1u);
        EXPECT_EQ(engines[0].address, "http://a.cn/?q={*}");
        EXPECT_EQ(engines[0].name, local("名字"));

        // Loaded, saved and loaded again: the same list; with one engine added: both.
        ASSERT_TRUE(write_engine_list_file(dir.path(), engines));
        EXPECT_EQ(read_engine_list_file(dir.path()), engines);
        engines.push_back({true, 0, "added", "http://b.cn/{*}"});
        ASSERT_TRUE(write_engine_list_file(dir.path(), engines));
        EXPECT_EQ(read_engine_list_file(dir.path()), engines);
    }
}

// A whole double-byte character at the end stays, even one whose second byte could also begin
// a character (D6 D0).
TEST(EngineListFileRegression, WholeCharacterAtTheEndStays) {
    TempDir dir;
    write_file_bytes(engine_list_file_path(dir.path()), local("真|0|n|http://a.cn/中"));
    const auto engines = read_engine_list_file(dir.path());
    ASSERT_EQ(engines.size(), 1u);
    EXPECT_EQ(engines[0].address, local("http://a.cn/中"));
}

}  // namespace
}  // namespace trasslo
