#include "html/robots_directives.h"

#include <array>
#include <string>

namespace trasslo {
namespace {

std::string lower_ascii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string_view trim_spaces(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool forbids(std::string_view directive) {
    return directive == "noindex" || directive == "none";
}

// The crawlers whose directives a trace cares about.
bool is_our_crawler(std::string_view name) {
    return name == "googlebot" || name == "baiduspider";
}

// Directives that carry a value after a colon, which must not be read as a crawler name.
bool is_valued_directive(std::string_view name) {
    static constexpr std::array<std::string_view, 5> names = {
        "unavailable_after", "max-snippet", "max-image-preview", "max-video-preview",
        "indexifembedded"};
    for (std::string_view known : names)
        if (name == known) return true;
    return false;
}

}  // namespace

bool directives_forbid_indexing(std::string_view directives) {
    const std::string lowered = lower_ascii(directives);
    std::string_view rest = lowered;
    while (!rest.empty()) {
        const std::size_t end = rest.find_first_of(", \t");
        if (forbids(rest.substr(0, end))) return true;
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return false;
}

bool x_robots_tag_forbids_indexing(std::string_view value) {
    const std::string lowered = lower_ascii(value);
    std::string_view rest = lowered;
    bool ours = true;  // directives before any crawler name apply to every crawler
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        std::string_view part = trim_spaces(rest.substr(0, comma));
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        const std::size_t colon = part.find(':');
        if (colon != std::string_view::npos) {
            const std::string_view name = trim_spaces(part.substr(0, colon));
            if (!is_valued_directive(name)) {
                ours = is_our_crawler(name);
                part = trim_spaces(part.substr(colon + 1));
            }
        }
        if (ours && directives_forbid_indexing(part)) return true;
    }
    return false;
}

}  // namespace trasslo
