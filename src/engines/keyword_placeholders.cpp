#include "engines/keyword_placeholders.h"

#include <algorithm>
#include <array>

namespace trasslo {
namespace {

constexpr std::array<std::string_view, 18> builtin_forms = {
    "{*}",      "{keyword}", "{kw}",     "{q}",      "{query}", "{search}",
    "{word}",   "%s",        "***",      "[keyword]", "[kw]",   "[query]",
    "[search]", "$keyword",  "{url}",    "[url]",    "[encode_url]", "%url%"};

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

size_t width_at(std::string_view text, size_t at) {
    return (is_gbk_lead_byte(static_cast<unsigned char>(text[at])) && at + 1 < text.size()) ? 2
                                                                                           : 1;
}

// The text with its single-byte letters in lower case; double-byte characters stay as they are,
// whatever their second byte looks like.
LocalText lower_letters(std::string_view text) {
    LocalText out(text);
    for (size_t at = 0; at < out.size();) {
        const size_t width = width_at(out, at);
        if (width == 1) out[at] = lower(out[at]);
        at += width;
    }
    return out;
}

// Whether `form` (from lower_letters) starts at the character boundary `at` of `text`.
bool starts_here(std::string_view text, size_t at, std::string_view form) {
    if (text.size() - at < form.size()) return false;
    for (size_t i = 0; i < form.size();) {
        if (width_at(form, i) == 2) {
            if (text[at + i] != form[i] || text[at + i + 1] != form[i + 1]) return false;
            i += 2;
        } else {
            if (lower(text[at + i]) != form[i]) return false;
            i += 1;
        }
    }
    return true;
}

}  // namespace

std::span<const std::string_view> keyword_placeholder_forms() {
    return builtin_forms;
}

KeywordPlaceholders::KeywordPlaceholders(std::span<const LocalText> extra) {
    for (std::string_view form : keyword_placeholder_forms()) forms_.emplace_back(form);
    for (const LocalText& form : extra) {
        if (!form.empty()) forms_.push_back(lower_letters(form));
    }
    std::stable_sort(forms_.begin(), forms_.end(),
                     [](const LocalText& a, const LocalText& b) { return a.size() > b.size(); });
    for (const LocalText& form : forms_) {
        const auto first = static_cast<unsigned char>(form[0]);
        starts_[first] = true;
        if (first >= 'a' && first <= 'z') starts_[first - 'a' + 'A'] = true;
    }
}

LocalText KeywordPlaceholders::standardize(std::string_view text, bool* found) const {
    LocalText out;
    out.reserve(text.size() + 8);
    bool any = false;
    size_t at = 0;
    while (at < text.size()) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (starts_[byte]) {
            const auto form = std::find_if(forms_.begin(), forms_.end(), [&](const LocalText& f) {
                return starts_here(text, at, f);
            });
            if (form != forms_.end()) {
                out += "{*}";
                at += form->size();
                any = true;
                continue;
            }
        }
        // A double-byte character is copied whole: its second byte may look like '[' or '{'.
        const size_t width = width_at(text, at);
        out.append(text, at, width);
        at += width;
    }
    if (found) *found = any;
    return out;
}

}  // namespace trasslo
