#include "text/local_text.h"

#include "text/code_page.h"

namespace trasslo {
namespace {

char fold(char c, bool ignore_case) {
    if (ignore_case && c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
    return c;
}

bool matches_at(std::string_view text, size_t at, std::string_view pattern, bool ignore_case) {
    if (at + pattern.size() > text.size()) return false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (fold(text[at + i], ignore_case) != fold(pattern[i], ignore_case)) return false;
    }
    return true;
}

// Width of the GBK character starting at `at`.
size_t char_width(std::string_view text, size_t at) {
    if (is_gbk_lead_byte(static_cast<unsigned char>(text[at])) && at + 1 < text.size()) return 2;
    return 1;
}

}  // namespace

LocalText local(std::string_view utf8) {
    return utf16_to_code_page(code_page_to_utf16(utf8, CodePage::utf8), CodePage::gbk, '?');
}

std::string to_utf8(std::string_view local_text) {
    return utf16_to_code_page(code_page_to_utf16(local_text, CodePage::gbk), CodePage::utf8, '?');
}

LocalText utf16_to_local_text(std::u16string_view units) {
    return utf16_to_code_page(units, CodePage::gbk, '?');
}

std::u16string local_text_to_utf16(std::string_view local_text) {
    return code_page_to_utf16(local_text, CodePage::gbk);
}

std::string_view until_zero(std::string_view text) {
    size_t zero = text.find('\0');
    return zero == std::string_view::npos ? text : text.substr(0, zero);
}

LocalText bytes_to_text(const ByteBuffer& bytes) {
    return LocalText(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

ByteBuffer text_to_bytes(std::string_view text) {
    return ByteBuffer(reinterpret_cast<const std::uint8_t*>(text.data()),
                      reinterpret_cast<const std::uint8_t*>(text.data()) + text.size());
}

LocalText trim(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    for (;;) {
        if (begin < end && text[begin] == ' ') {
            ++begin;
        } else if (end - begin >= 2 && text[begin] == '\xA1' && text[begin + 1] == '\xA1') {
            begin += 2;
        } else {
            break;
        }
    }
    for (;;) {
        if (end > begin && text[end - 1] == ' ') {
            --end;
        } else if (end - begin >= 2 && text[end - 2] == '\xA1' && text[end - 1] == '\xA1') {
            end -= 2;
        } else {
            break;
        }
    }
    return LocalText(text.substr(begin, end - begin));
}

long find_text(std::string_view text, std::string_view pattern, long start, bool ignore_case) {
    if (pattern.empty()) return -1;
    if (start < 1) start = 1;
    size_t at = static_cast<size_t>(start - 1);
    while (at < text.size()) {
        if (matches_at(text, at, pattern, ignore_case)) return static_cast<long>(at) + 1;
        at += char_width(text, at);
    }
    return -1;
}

long find_text_last(std::string_view text, std::string_view pattern, long limit, bool ignore_case) {
    if (pattern.empty()) return -1;
    size_t end = (limit < 0 || static_cast<size_t>(limit) > text.size())
                     ? text.size()
                     : static_cast<size_t>(limit);
    long found = -1;
    size_t at = 0;
    while (at < text.size() && at + pattern.size() <= end) {
        if (matches_at(text, at, pattern, ignore_case)) found = static_cast<long>(at) + 1;
        at += char_width(text, at);
    }
    return found;
}

LocalText replace_text(std::string_view text, std::string_view find, std::string_view replacement,
                       bool ignore_case, long count) {
    if (find.empty()) return LocalText(text);
    LocalText out;
    out.reserve(text.size());
    size_t at = 0;
    long done = 0;
    while (at < text.size()) {
        if ((count < 1 || done < count) && matches_at(text, at, find, ignore_case)) {
            out.append(replacement);
            at += find.size();
            ++done;
            continue;
        }
        size_t w = char_width(text, at);
        out.append(text.substr(at, w));
        at += w;
    }
    return out;
}

std::vector<LocalText> split_text(std::string_view text, std::string_view separator) {
    std::vector<LocalText> parts;
    if (text.empty()) return parts;
    if (separator.empty()) {
        parts.emplace_back(text);
        return parts;
    }
    size_t begin = 0;
    for (;;) {
        long at = find_text(text, separator, static_cast<long>(begin) + 1);
        if (at < 0) break;
        parts.emplace_back(text.substr(begin, static_cast<size_t>(at - 1) - begin));
        begin = static_cast<size_t>(at - 1) + separator.size();
    }
    if (begin < text.size()) parts.emplace_back(text.substr(begin));
    return parts;
}

LocalText ascii_lower(std::string_view text) {
    LocalText out(text);
    for (char& c : out) c = fold(c, true);
    return out;
}

}  // namespace trasslo
