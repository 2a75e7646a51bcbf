#include "files/program_folder.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace trasslo {
namespace {

TEST(ProgramFolders, BesideAWritableProgramElseInTheXdgFolders) {
    struct Case {
        const char* what;
        bool writable;
        XdgEnvironment environment;
        const char* settings;
        const char* data;
    };
    const Case cases[] = {
        {"writable: everything beside the program",
         true,
         {"/x/config", "/x/data", "/home/u"},
         "/opt/t/bin",
         "/opt/t/bin"},
        {"the XDG values",
         false,
         {"/x/config", "/x/data", "/home/u"},
         "/x/config/trasslo",
         "/x/data/trasslo"},
        {"unset: under HOME",
         false,
         {std::nullopt, std::nullopt, "/home/u"},
         "/home/u/.config/trasslo",
         "/home/u/.local/share/trasslo"},
        {"empty and relative values count as unset",
         false,
         {"", "rel/data", "/home/u"},
         "/home/u/.config/trasslo",
         "/home/u/.local/share/trasslo"},
        {"no home at all: the root folder",
         false,
         {std::nullopt, std::nullopt, std::nullopt},
         "/.config/trasslo",
         "/.local/share/trasslo"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ProgramFolders folders =
            choose_program_folders("/opt/t/bin", c.writable, c.environment);
        EXPECT_EQ(folders.settings, c.settings);
        EXPECT_EQ(folders.data, c.data);
        EXPECT_EQ(folders.beside_program, c.writable);
    }
}

TEST(ProgramFolders, TheUsersFoldersAreMadeForTheUserAlone) {
    support::TempDir dir;
    const ProgramFolders folders{dir.path() / "c/trasslo", dir.path() / "d/trasslo", false};
    ASSERT_TRUE(make_program_folders(folders));
    for (const auto& folder : {folders.settings, folders.data}) {
        ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder;
        EXPECT_EQ(std::filesystem::status(folder).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_all);
    }
    // A file where a folder should be: reported, not thrown.
    support::write_file_bytes(dir.path() / "file", "");
    EXPECT_FALSE(make_program_folders({dir.path() / "file/trasslo", folders.data, false}));
}

}  // namespace
}  // namespace trasslo
