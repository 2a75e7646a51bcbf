#include "icons/icon_cache.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include "net/site_host.h"

namespace trasslo {

std::filesystem::path icon_cache_folder(const std::filesystem::path& program_folder) {
    return program_folder / std::filesystem::path(to_utf8(local("图标缓存")));
}

std::filesystem::path icon_file_path(const std::filesystem::path& program_folder,
                                     std::string_view address) {
    // site_host stops at the first "/", so the name can never leave the cache folder.
    return icon_cache_folder(program_folder) /
           std::filesystem::path(to_utf8(site_host(address)) + ".ico");
}

ByteBuffer read_icon_file(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return {};
    return ByteBuffer(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
