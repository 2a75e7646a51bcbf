#include "html/keyword_echo.h"

#include <algorithm>

namespace trasslo {
namespace {

// The length of the white space at the start of `text`: 0, 1, or 2 for U+00A0 (C2 A0).
std::size_t white_space_at(std::string_view text) {
    const char c = text.front();
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') return 1;
    if (c == '\xC2' && text.size() > 1 && text[1] == '\xA0') return 2;
    return 0;
}

char fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string collapse_white_space(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    bool gap = false;
    while (!utf8.empty()) {
        if (const std::size_t n = white_space_at(utf8)) {
            gap = true;
            utf8.remove_prefix(n);
            continue;
        }
        if (gap && !out.empty()) out += ' ';
        gap = false;
        out += utf8.front();
        utf8.remove_prefix(1);
    }
    return out;
}

bool text_echoes_keyword(std::string_view page_text, std::string_view keyword) {
    const std::string wanted = collapse_white_space(keyword);
    if (wanted.empty()) return false;
    // UTF-8 continuation bytes are never ASCII letters, so folding bytes folds only letters and
    // a byte search cannot match half a character.
    const auto found = std::search(page_text.begin(), page_text.end(), wanted.begin(), wanted.end(),
                                   [](char a, char b) { return fold(a) == fold(b); });
    return found != page_text.end();
}

}  // namespace trasslo
