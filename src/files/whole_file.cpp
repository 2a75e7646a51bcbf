#include "files/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace trasslo {

bool read_whole_fd(int fd, std::string& out) {
    out.clear();
    char buffer[65536];
    off_t offset = 0;
    for (;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            out.clear();
            return false;
        }
        if (n == 0) return true;
        out.append(buffer, static_cast<std::size_t>(n));
        offset += n;
    }
}

bool read_whole_file(const std::filesystem::path& path, std::string& out) {
    out.clear();
    // Without O_NONBLOCK opening a pipe waits for a writer; regular files read as ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (ok) {
        out.reserve(static_cast<std::size_t>(info.st_size));
        ok = read_whole_fd(fd, out);
    }
    ::close(fd);
    if (!ok) out.clear();
    return ok;
}

}  // namespace trasslo
