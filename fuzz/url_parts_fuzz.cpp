// Site host and main domain, and the host, port and path a request connects to, on any
// address.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "net/site_host.h"
#include "net/url_parts.h"
#include "text/local_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view address(reinterpret_cast<const char*>(data), size);

    // The plain host is a piece of the address without a '/'; the main domain is the host
    // itself or a lower-cased tail of it; the scheme goes in front of either.
    const auto host = trasslo::site_host(address);
    if (address.find(host) == std::string_view::npos) __builtin_trap();
    // A byte from 0x81 up takes the byte behind it as the second half of its character, so
    // only an ASCII address is sure to have its host end at the first '/'.
    const bool ascii = std::none_of(data, data + size, [](std::uint8_t b) { return b >= 0x80; });
    if (ascii && host.find('/') != std::string_view::npos) __builtin_trap();
    const auto domain = trasslo::site_host(address, true);
    if (domain != host && !trasslo::ascii_lower(host).ends_with(domain)) __builtin_trap();
    const auto with_scheme = trasslo::site_host(address, true, true);
    if (!with_scheme.ends_with(domain)) __builtin_trap();
    if (address.find("://") == std::string_view::npos
            ? with_scheme != domain
            : !address.starts_with(with_scheme.substr(0, with_scheme.size() - domain.size())))
        __builtin_trap();
    trasslo::site_host(address, false, true);
    trasslo::has_compound_suffix(address);

    // The connection's host is lower-case and ends before any path, query or fragment.
    const auto bare = trasslo::url_host(address);
    const auto with_port = trasslo::url_host(address, true);
    for (char c : with_port)
        if ((c >= 'A' && c <= 'Z') || c == '/' || c == '?' || c == '#') __builtin_trap();
    if (bare.find(':') != std::string_view::npos || !with_port.starts_with(bare)) __builtin_trap();
    const int port = trasslo::url_port(address);
    if (port < 0 || port > 65535) __builtin_trap();
    const auto path = trasslo::url_path(address);
    if (!path.starts_with("/")) __builtin_trap();
    if (path != "/" && !address.ends_with(std::string_view(path).substr(1))) __builtin_trap();
    return 0;
}
