#include "net/site_host.h"

#include <array>

namespace trasslo {
namespace {

// The last '.' at or before 0-based `limit`, or npos.
size_t last_dot_at_or_before(std::string_view host, long limit) {
    if (limit < 0) return std::string_view::npos;
    return host.rfind('.', static_cast<size_t>(limit));
}

// Where the main domain begins: stepping back `labels` dots from the end. The first dot needs
// at least two bytes behind it, each further one at least one byte before the previous dot.
// Returns npos when a step finds nothing: the whole host is the domain.
size_t main_domain_cut(std::string_view host, int labels) {
    long limit = static_cast<long>(host.size()) - 3;
    size_t cut = std::string_view::npos;
    for (int step = 0; step < labels; ++step) {
        cut = last_dot_at_or_before(host, limit);
        if (cut == std::string_view::npos) return cut;
        limit = static_cast<long>(cut) - 2;
    }
    return cut;
}

}  // namespace

bool has_compound_suffix(std::string_view host) {
    static constexpr std::array<std::string_view, 8> words = {"com", "net", "org",  "edu",
                                                              "gov", "tel", "info", "name"};
    const LocalText lower = ascii_lower(host);
    for (std::string_view word : words) {
        LocalText dotted = "." + std::string(word) + ".";
        if (find_text(lower, dotted) > 0) return true;
    }
    return false;
}

LocalText site_host(std::string_view address, bool main_domain, bool with_scheme) {
    const long slashes = find_text(address, "//");
    size_t begin = slashes > 0 ? static_cast<size_t>(slashes - 1) + 2 : 0;
    const long slash = find_text(address, "/", static_cast<long>(begin) + 1);
    size_t end = slash > 0 ? static_cast<size_t>(slash - 1) : address.size();
    LocalText host(address.substr(begin, end - begin));

    if (!host.empty() && main_domain) {
        const int labels = has_compound_suffix(host) ? 3 : 2;
        const size_t cut = main_domain_cut(host, labels);
        const LocalText lower = ascii_lower(host);
        LocalText tail = cut == std::string_view::npos ? lower : lower.substr(cut + 1);
        if (lower != "www." + tail) host = std::move(tail);
    }

    if (with_scheme) {
        const long scheme_end = find_text(address, "://");
        if (scheme_end > 0) {
            host.insert(0, address.substr(0, static_cast<size_t>(scheme_end - 1) + 3));
        }
    }
    return host;
}

}  // namespace trasslo
