#include "files/system_error_text.h"

#include <cerrno>
#include <cstring>

namespace trasslo {

std::string system_error_text(int error_number) {
    switch (error_number) {
        case ENOENT:
            return "文件或文件夹不存在";
        case EACCES:
        case EPERM:
            return "没有访问权限";
        case ENOSPC:
        case EDQUOT:
            return "磁盘空间不足";
        case EROFS:
            return "文件系统是只读的";
        case EISDIR:
            return "这是一个文件夹，不是文件";
        default:
            return std::strerror(error_number);
    }
}

}  // namespace trasslo
