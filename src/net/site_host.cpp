#include "net/site_host.h"

#include <array>

namespace trasslo {
namespace {

// Finds `pattern` from 0-based `from` (a character boundary), letting a match begin only at a
// character boundary of the GBK text, like find_text; npos when absent. A tight loop of its own:
// the engine tree asks for the host of every engine when a long list loads.
size_t find_at_boundary(std::string_view text, std::string_view pattern, size_t from) {
    const size_t size = text.size();
    for (size_t at = from; at < size;) {
        const char c = text[at];
        if (c == pattern[0] && text.compare(at, pattern.size(), pattern) == 0) return at;
        at += (is_gbk_lead_byte(static_cast<unsigned char>(c)) && at + 1 < size) ? 2 : 1;
    }
    return std::string_view::npos;
}

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
    constexpr size_t npos = std::string_view::npos;
    const size_t slashes = find_at_boundary(address, "//", 0);
    const size_t begin = slashes != npos ? slashes + 2 : 0;
    const size_t slash = find_at_boundary(address, "/", begin);
    const size_t end = slash != npos ? slash : address.size();
    LocalText host(address.substr(begin, end - begin));

    if (!host.empty() && main_domain) {
        const int labels = has_compound_suffix(host) ? 3 : 2;
        const size_t cut = main_domain_cut(host, labels);
        const LocalText lower = ascii_lower(host);
        LocalText tail = cut == std::string_view::npos ? lower : lower.substr(cut + 1);
        if (lower != "www." + tail) host = std::move(tail);
    }

    if (with_scheme) {
        const size_t scheme_end = find_at_boundary(address, "://", 0);
        if (scheme_end != npos) host.insert(0, address.substr(0, scheme_end + 3));
    }
    return host;
}

}  // namespace trasslo
