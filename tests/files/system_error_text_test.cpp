// The reasons of failed file operations in the program's messages.
#include "files/system_error_text.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace trasslo {
namespace {

TEST(SystemErrorText, TheCommonCausesInChineseTheRestAsTheSystemSaysThem) {
    const std::pair<int, std::string> cases[] = {
        {ENOENT, "文件或文件夹不存在"},  {EACCES, "没有访问权限"},
        {EPERM, "没有访问权限"},         {ENOSPC, "磁盘空间不足"},
        {EROFS, "文件系统是只读的"},     {EISDIR, "这是一个文件夹，不是文件"},
        {EMFILE, std::strerror(EMFILE)},
    };
    for (const auto& [error_number, text] : cases) EXPECT_EQ(system_error_text(error_number), text);
}

}  // namespace
}  // namespace trasslo
