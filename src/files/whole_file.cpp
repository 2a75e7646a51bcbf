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

namespace {

// Reads a stream (a pipe, a terminal) from where it stands to its end.
bool read_stream_fd(int fd, std::string& out) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return true;
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace

bool read_whole_file(const std::filesystem::path& path, std::string& out, int* error_number,
                     bool streams_too) {
    out.clear();
    int error = 0;
    // Without O_NONBLOCK opening a pipe waits for a writer; regular files read as ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (streams_too ? 0 : O_NONBLOCK));
    bool ok = fd >= 0;
    if (!ok) error = errno;
    struct stat info {};
    if (ok && ::fstat(fd, &info) != 0) {
        error = errno;
        ok = false;
    }
    if (ok && S_ISREG(info.st_mode)) {
        out.reserve(static_cast<std::size_t>(info.st_size));
        ok = read_whole_fd(fd, out);
        if (!ok) error = errno;
    } else if (ok && streams_too && !S_ISDIR(info.st_mode)) {
        ok = read_stream_fd(fd, out);
        if (!ok) error = errno;
    } else if (ok) {
        error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        ok = false;
    }
    if (fd >= 0) ::close(fd);
    if (!ok) out.clear();
    if (error_number != nullptr) *error_number = error;
    return ok;
}

}  // namespace trasslo
