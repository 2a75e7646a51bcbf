#include "text/local_text.h"

#include <algorithm>

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

// The next position at or after `from` where the pattern's bytes stand, character boundaries
// not considered; npos when there is none. Byte searches are what make long texts cheap.
size_t next_match(std::string_view text, size_t from, std::string_view pattern, bool ignore_case) {
    if (!ignore_case) return text.find(pattern, from);
    if (pattern.size() > text.size()) return std::string_view::npos;
    // Candidates are the places of the first byte in either letter case, each found by a byte
    // search and kept until passed, so that a text full of one case stays linear.
    const char lower = fold(pattern[0], true);
    const char upper = lower >= 'a' && lower <= 'z' ? static_cast<char>(lower - 'a' + 'A') : lower;
    const size_t last = text.size() - pattern.size();  // the last place a match can start
    constexpr size_t none = std::string_view::npos;
    size_t next_lower = text.find(lower, from);
    size_t next_upper = upper != lower ? text.find(upper, from) : none;
    for (;;) {
        const size_t hit = std::min(next_lower, next_upper);
        if (hit == none || hit > last) return none;
        if (matches_at(text, hit, pattern, true)) return hit;
        // Only the candidate just tried is passed; the other one still stands.
        if (next_lower == hit) next_lower = text.find(lower, hit + 1);
        if (next_upper == hit) next_upper = text.find(upper, hit + 1);
    }
}

// Walks the character boundaries of a text forward from a known boundary, so that a byte match
// can be told from one that starts inside a double-byte character.
class BoundaryWalk {
  public:
    BoundaryWalk(std::string_view text, size_t at) : text_(text), at_(at) {}
    // Whether `position` (not before the walk's place) is a character boundary.
    bool reaches(size_t position) {
        while (at_ < position) at_ += char_width(text_, at_);
        return at_ == position;
    }
    void restart(size_t at) { at_ = at; }

  private:
    std::string_view text_;
    size_t at_;
};

}  // namespace

LocalText local(std::string_view utf8) {
    return utf16_to_code_page(code_page_to_utf16(utf8, CodePage::utf8), CodePage::gbk, '?');
}

const LocalText& true_word() {
    static const LocalText word = local("真");
    return word;
}

const LocalText& false_word() {
    static const LocalText word = local("假");
    return word;
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
    return LocalText(bytes_view(bytes));
}

ByteBuffer text_to_bytes(std::string_view text) {
    return ByteBuffer(reinterpret_cast<const std::uint8_t*>(text.data()),
                      reinterpret_cast<const std::uint8_t*>(text.data()) + text.size());
}

bool ends_with_cut_character(std::string_view text) {
    // A byte that cannot start a character always ends one, so the characters start again
    // behind the last such byte, and the first bytes after it pair up.
    size_t leads = 0;
    while (leads < text.size() &&
           is_gbk_lead_byte(static_cast<unsigned char>(text[text.size() - 1 - leads])))
        ++leads;
    return leads % 2 == 1;
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
    const size_t begin = static_cast<size_t>(start - 1);
    if (begin >= text.size()) return -1;
    BoundaryWalk walk(text, begin);
    for (size_t from = begin;;) {
        const size_t hit = next_match(text, from, pattern, ignore_case);
        if (hit == std::string_view::npos) return -1;
        if (walk.reaches(hit)) return static_cast<long>(hit) + 1;
        from = hit + 1;
    }
}

long find_text_last(std::string_view text, std::string_view pattern, long limit, bool ignore_case) {
    if (pattern.empty()) return -1;
    const size_t end = (limit < 0 || static_cast<size_t>(limit) > text.size())
                           ? text.size()
                           : static_cast<size_t>(limit);
    if (pattern.size() > end) return -1;
    const std::string_view area = text.substr(0, end);
    long found = -1;
    BoundaryWalk walk(text, 0);
    for (size_t from = 0;;) {
        const size_t hit = next_match(area, from, pattern, ignore_case);
        if (hit == std::string_view::npos) return found;
        if (walk.reaches(hit)) found = static_cast<long>(hit) + 1;
        from = hit + 1;
    }
}

LocalText replace_text(std::string_view text, std::string_view find, std::string_view replacement,
                       bool ignore_case, long count) {
    if (find.empty()) return LocalText(text);
    LocalText out;
    out.reserve(text.size());
    size_t copied = 0;  // text before this is in `out`; always a boundary
    long done = 0;
    BoundaryWalk walk(text, 0);
    for (size_t from = 0; count < 1 || done < count;) {
        const size_t hit = next_match(text, from, find, ignore_case);
        if (hit == std::string_view::npos) break;
        if (!walk.reaches(hit)) {
            from = hit + 1;
            continue;
        }
        out.append(text.substr(copied, hit - copied));
        out.append(replacement);
        copied = from = hit + find.size();
        walk.restart(copied);
        ++done;
    }
    out.append(text.substr(copied));
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
