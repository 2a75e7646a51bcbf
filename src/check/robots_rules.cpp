#include "check/robots_rules.h"

#include <algorithm>
#include <cctype>

#include "net/url_parts.h"
#include "text/local_text.h"

namespace trasslo {
namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool unreserved(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

void append_escape(std::string& out, unsigned char byte) {
    static const char digits[] = "0123456789ABCDEF";
    out += '%';
    out += digits[byte >> 4];
    out += digits[byte & 15];
}

// The product token a user-agent line names: its leading letters, '_' and '-' in lower case
// ("Googlebot/2.1" names "googlebot"), or "*".
std::string product_token(std::string_view value) {
    if (value.starts_with('*')) return "*";
    std::size_t end = 0;
    while (end < value.size() && (std::isalpha(static_cast<unsigned char>(value[end])) ||
                                  value[end] == '_' || value[end] == '-'))
        ++end;
    return ascii_lower(value.substr(0, end));
}

// Where `needle` first occurs in `text` at or after `from`, or npos, in time linear in both:
// a short needle by the library's search (at most its length per byte of text), a long one by
// Knuth-Morris-Pratt, so that no rule a site writes makes a match quadratic.
std::size_t find_linear(std::string_view text, std::string_view needle, std::size_t from) {
    if (needle.size() <= 32) return text.find(needle, from);
    std::vector<std::size_t> border(needle.size(), 0);
    for (std::size_t i = 1, k = 0; i < needle.size(); ++i) {
        while (k > 0 && needle[i] != needle[k]) k = border[k - 1];
        if (needle[i] == needle[k]) ++k;
        border[i] = k;
    }
    for (std::size_t i = from, k = 0; i < text.size(); ++i) {
        while (k > 0 && text[i] != needle[k]) k = border[k - 1];
        if (text[i] == needle[k]) ++k;
        if (k == needle.size()) return i + 1 - k;
    }
    return std::string_view::npos;
}

// Whether `pattern` ('*' any run of octets, a final '$' the end) matches the start of `path`.
// The pieces between the stars are found one after another, each at its first place behind the
// one before: an earlier place never leaves less room for the rest, so that is the match if
// there is one.
bool matches(std::string_view pattern, std::string_view path) {
    const bool to_the_end = pattern.ends_with('$');
    if (to_the_end) pattern.remove_suffix(1);
    const std::size_t first_star = pattern.find('*');
    const std::string_view head = pattern.substr(0, first_star);
    if (!path.starts_with(head)) return false;
    if (first_star == std::string_view::npos) return !to_the_end || path.size() == head.size();
    std::size_t at = head.size();
    std::size_t begin = first_star + 1;
    for (std::size_t star; (star = pattern.find('*', begin)) != std::string_view::npos;
         begin = star + 1) {
        const std::string_view piece = pattern.substr(begin, star - begin);
        const std::size_t found = find_linear(path, piece, at);
        if (found == std::string_view::npos) return false;
        at = found + piece.size();
    }
    const std::string_view tail = pattern.substr(begin);
    if (to_the_end) return path.size() - at >= tail.size() && path.ends_with(tail);
    return find_linear(path, tail, at) != std::string_view::npos;
}

}  // namespace

std::string robots_normal_form(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto byte = static_cast<unsigned char>(path[i]);
        if (byte == '%' && i + 2 < path.size() && hex_value(path[i + 1]) >= 0 &&
            hex_value(path[i + 2]) >= 0) {
            const auto value =
                static_cast<unsigned char>(hex_value(path[i + 1]) * 16 + hex_value(path[i + 2]));
            if (unreserved(value))
                out += static_cast<char>(value);
            else
                append_escape(out, value);
            i += 2;
        } else if (byte <= 0x20 || byte >= 0x7F) {
            append_escape(out, byte);
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out;
}

std::string robots_path(std::string_view address) {
    const UrlPieces pieces = split_url(address);
    std::string path = pieces.path.empty() ? "/" : std::string(pieces.path);
    if (pieces.has_query) path += "?" + std::string(pieces.query);
    return path;
}

RobotsRules RobotsRules::parse(std::string_view text) {
    RobotsRules rules;
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    Group* current = nullptr;
    bool in_rules = false;  // a rule came after the group's user-agent lines
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        line = line.substr(0, line.find('#'));
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string key = ascii_lower(trim(line.substr(0, colon)));
        const std::string value = trim(line.substr(colon + 1));
        if (key == "user-agent") {
            if (!current || in_rules) {
                rules.groups_.emplace_back();
                current = &rules.groups_.back();
                in_rules = false;
            }
            current->agents.push_back(product_token(value));
        } else if ((key == "allow" || key == "disallow") && current) {
            in_rules = true;
            // An empty rule matches nothing: "Disallow:" allows everything.
            if (!value.empty())
                current->rules.push_back({key == "allow", robots_normal_form(value)});
        }
    }
    return rules;
}

bool RobotsRules::allows(std::string_view product_token_name,
                         std::string_view path_and_query) const {
    const std::string path = robots_normal_form(path_and_query);
    if (path == "/robots.txt") return true;
    const std::string agent = ascii_lower(product_token_name);
    // The crawler's own groups, all of them together; else the "*" groups.
    std::vector<const Group*> chosen;
    for (const std::string& wanted : {agent, std::string("*")}) {
        for (const Group& group : groups_)
            if (std::find(group.agents.begin(), group.agents.end(), wanted) != group.agents.end())
                chosen.push_back(&group);
        if (!chosen.empty()) break;
    }
    std::size_t best_length = 0;
    bool allowed = true;
    bool found = false;
    for (const Group* group : chosen) {
        for (const Rule& rule : group->rules) {
            if (!matches(rule.pattern, path)) continue;
            const std::size_t length = rule.pattern.size();
            if (!found || length > best_length) {
                allowed = rule.allow;
                best_length = length;
                found = true;
            } else if (length == best_length && rule.allow) {
                allowed = true;  // Allow wins a tie
            }
        }
    }
    return allowed;
}

}  // namespace trasslo
