#include "net/merge_cookies.h"

#include <unordered_set>
#include <vector>

namespace trasslo {
namespace {

// Every ASCII space and every full-width space (A1 A1), wherever it stands.
LocalText remove_spaces(std::string_view text) {
    LocalText out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b == ' ') continue;
        if (is_gbk_lead_byte(b) && i + 1 < text.size()) {
            if (b == 0xA1 && static_cast<unsigned char>(text[i + 1]) == 0xA1) {
                ++i;
                continue;
            }
            out += text[i];
            out += text[++i];
            continue;
        }
        out += text[i];
    }
    return out;
}

// The text before the first '=', trimmed; the whole trimmed item when it has none.
LocalText cookie_name(std::string_view item) {
    return trim(item.substr(0, item.find('=')));
}

// Joins the items, each followed by `separator`, without the last separator.
LocalText join(const std::vector<LocalText>& items, std::string_view separator) {
    LocalText out;
    for (const LocalText& item : items) {
        out += item;
        out += separator;
    }
    if (!out.empty()) out.resize(out.size() - separator.size());
    return out;
}

// Keeps each item of a "; "-separated list only at its first occurrence. Sets keep the cost
// linear: a reply may set thousands of cookies.
LocalText deduplicate(std::string_view list) {
    std::vector<LocalText> kept;
    std::unordered_set<LocalText> seen;
    for (LocalText& item : split_text(list, "; "))
        if (seen.insert(item).second) kept.push_back(std::move(item));
    return join(kept, "; ");
}

}  // namespace

LocalText merge_cookies(LocalText& current, LocalText& received) {
    current = remove_spaces(current);
    received = remove_spaces(received);
    std::vector<LocalText> merged = split_text(received, ";");
    std::unordered_set<LocalText> names;
    for (const LocalText& item : merged) names.insert(cookie_name(item));
    for (LocalText& item : split_text(current, ";")) {
        // A name already in the merged list, received or an earlier current item, wins.
        if (names.insert(cookie_name(item)).second) merged.push_back(std::move(item));
    }
    std::vector<LocalText> alive;
    for (LocalText& item : merged)
        if (!item.ends_with("=deleted")) alive.push_back(std::move(item));
    current = deduplicate(join(alive, "; "));
    return current;
}

}  // namespace trasslo
