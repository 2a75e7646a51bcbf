#include "icons/icon_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <system_error>

#include "files/whole_file.h"
#include "net/site_host.h"

namespace trasslo {

std::filesystem::path icon_cache_folder(const std::filesystem::path& program_folder) {
    // Every item of the tree asks for it at start-up: convert the name once.
    static const std::filesystem::path name(to_utf8(local("图标缓存")));
    return program_folder / name;
}

std::filesystem::path icon_file_path(const std::filesystem::path& program_folder,
                                     std::string_view address) {
    // site_host stops at the first "/", so the name can never leave the cache folder.
    return icon_cache_folder(program_folder) /
           std::filesystem::path(to_utf8(site_host(address)) + ".ico");
}

ByteBuffer read_icon_file(const std::filesystem::path& file) {
    std::string bytes;
    if (!read_whole_file(file, bytes)) return {};  // unreadable counts as not cached
    return ByteBuffer(bytes.begin(), bytes.end());
}

bool icon_file_cached(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    const bool cached = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
    ::close(fd);
    return cached;
}

bool write_icon_file(const std::filesystem::path& file, const ByteBuffer& bytes) {
    std::filesystem::path part = file;
    part += ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(part, ignored);
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(part, file, ec);
    if (ec) {
        std::filesystem::remove(part, ec);
        return false;
    }
    return true;
}

bool is_html_answer(const ByteBuffer& body) {
    for (std::size_t i = 0; i + 1 < body.size(); ++i) {
        if (body[i] == '<' && body[i + 1] == '/') return true;
    }
    return false;
}

std::vector<LocalText> icon_addresses(std::string_view address) {
    const LocalText host_base = site_host(address, false, true);
    const LocalText domain_base = site_host(address, true, true);
    std::vector<LocalText> addresses{host_base + "/favicon.ico", domain_base + "/favicon.ico"};
    if (find_text(domain_base, "://www.", 1, true) == -1) {
        addresses.push_back(replace_text(domain_base, "://", "://www.") + "/favicon.ico");
    }
    return addresses;
}

bool is_https_address(std::string_view address) {
    return ascii_lower(address.substr(0, 8)) == "https://";
}

}  // namespace trasslo
