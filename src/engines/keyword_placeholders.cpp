#include "engines/keyword_placeholders.h"

#include <algorithm>
#include <array>

namespace trasslo {
namespace {

constexpr std::array<std::string_view, 18> builtin_forms = {
    "{*}",      "{keyword}", "{kw}",  "{q}",       "{query}",      "{search}",
    "{word}",   "%s",        "***",   "[keyword]", "[kw]",         "[query]",
    "[search]", "$keyword",  "{url}", "[url]",     "[encode_url]", "%url%"};

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

size_t width_at(std::string_view text, size_t at) {
    return (is_gbk_lead_byte(static_cast<unsigned char>(text[at])) && at + 1 < text.size()) ? 2 : 1;
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
    std::stable_sort(forms_.begin(), forms_.end(), [](const LocalText& a, const LocalText& b) {
        if (a[0] != b[0])
            return static_cast<unsigned char>(a[0]) < static_cast<unsigned char>(b[0]);
        return a.size() > b.size();
    });
    for (std::size_t i = 0; i < forms_.size(); ++i) {
        const auto first = static_cast<unsigned char>(forms_[i][0]);
        auto& group = starting_with_[first];
        if (group.first == group.second) group.first = static_cast<std::uint16_t>(i);
        group.second = static_cast<std::uint16_t>(i + 1);
        if (first >= 'a' && first <= 'z') starting_with_[first - 'a' + 'A'] = group;
    }
}

LocalText KeywordPlaceholders::standardize(std::string_view text, bool* found) const {
    LocalText out;
    const bool any = standardize_into(text, out);
    if (found) *found = any;
    return out;
}

bool KeywordPlaceholders::standardize_into(std::string_view text, LocalText& out) const {
    out.clear();
    bool any = false;
    size_t copied = 0;  // text before this is in `out`
    size_t at = 0;
    while (at < text.size()) {
        const auto [begin, end] = starting_with_[static_cast<unsigned char>(text[at])];
        if (begin != end) {
            const auto last = forms_.begin() + end;
            const auto form = std::find_if(forms_.begin() + begin, last, [&](const LocalText& f) {
                return starts_here(text, at, f);
            });
            if (form != last) {
                out.append(text, copied, at - copied);
                out += "{*}";
                at += form->size();
                copied = at;
                any = true;
                continue;
            }
        }
        // A double-byte character is stepped over whole: its second byte may look like '['.
        at += width_at(text, at);
    }
    out.append(text, copied);
    return any;
}

}  // namespace trasslo
