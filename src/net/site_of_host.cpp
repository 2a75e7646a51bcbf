#include "net/site_of_host.h"

#include <arpa/inet.h>
#include <libpsl.h>

#include "text/local_text.h"

namespace trasslo {
namespace {

// The newest list on the system (Debian's publicsuffix package), else the one built in.
const psl_ctx_t* suffix_list() {
    static const psl_ctx_t* const list = [] {
        const psl_ctx_t* latest = psl_latest(nullptr);
        return latest ? latest : psl_builtin();
    }();
    return list;
}

bool is_ip_address(const std::string& host) {
    unsigned char address[16];
    return inet_pton(AF_INET, host.c_str(), address) == 1 ||
           inet_pton(AF_INET6, host.c_str(), address) == 1;
}

}  // namespace

std::string site_of_host(std::string_view host_name) {
    std::string host(host_name);
    while (!host.empty() && host.back() == '.') host.pop_back();
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    if (host.empty()) return host;
    if (is_ip_address(host)) return ascii_lower(host);

    std::string lower = ascii_lower(host);
    char* folded = nullptr;
    if (psl_str_to_utf8lower(host.c_str(), "utf-8", nullptr, &folded) == PSL_SUCCESS && folded) {
        lower = folded;
        psl_free_string(folded);
    }
    const psl_ctx_t* list = suffix_list();
    const char* domain = list ? psl_registrable_domain(list, lower.c_str()) : nullptr;
    return domain ? std::string(domain) : lower;
}

std::string site_of_address(std::string_view address) {
    std::string_view rest = address;
    if (const size_t scheme = rest.find("://"); scheme != std::string_view::npos)
        rest.remove_prefix(scheme + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (const size_t at = rest.rfind('@'); at != std::string_view::npos) rest.remove_prefix(at + 1);
    if (!rest.empty() && rest.front() == '[') {
        rest = rest.substr(0, rest.find(']') + 1);  // keeps the brackets; the port goes
    } else {
        rest = rest.substr(0, rest.find(':'));
    }
    return site_of_host(to_utf8(rest));
}

}  // namespace trasslo
