#include "text/charset.h"

#include <optional>

#include "files/whole_file.h"
#include "text/code_page.h"

namespace trasslo {
namespace {

// An empty marker stands for the start or the end of the text: these sentinels are put there.
LocalText head_marker() {
    return local("#Tandel头#");
}
LocalText tail_marker() {
    return local("#Tandel尾#");
}

// The converter's name for each charset code 2..6.
const char* converter_name(int code) {
    switch (code) {
        case 2:
            return "UTF-8";
        case 3:
            return "UTF-16LE";
        case 4:
            return "UTF-16BE";
        case 5:
            return "BIG5";
        case 6:
            return "BIG5-HKSCS";
        default:
            return "UTF-8";
    }
}

bool starts_with_bytes(std::string_view bytes, std::string_view mark) {
    return bytes.substr(0, mark.size()) == mark;
}

LocalText replace_pairs_by_quote(std::string_view marker) {
    return replace_text(marker, "''", "\"", false, 0);
}

LocalText remove_quotes(std::string_view marker) {
    LocalText out;
    for (char c : marker) {
        if (c != '"') out.push_back(c);
    }
    return out;
}

struct Slice {
    bool found = false;
    LocalText text;
    long left_start = 0;    // 1-based, in the caller's text
    long behind_right = 0;  // 1-based position just behind the right marker
};

// The span between the end of `left` (plus skip_start) and the start of `right` (less cut_end).
LocalText span(std::string_view text, size_t left_end, size_t right_start, long skip_start,
               long cut_end) {
    long start = static_cast<long>(left_end) + skip_start;
    long length =
        static_cast<long>(right_start) - static_cast<long>(left_end) - skip_start - cut_end;
    if (length < 1 || start < 0 || static_cast<size_t>(start) >= text.size()) return {};
    return LocalText(text.substr(static_cast<size_t>(start), static_cast<size_t>(length)));
}

// The marker search itself, with positions in the caller's text (1-based; 0 = from the start,
// or from the end when searching backward).
Slice find_slice(std::string_view text, std::string_view left, std::string_view right,
                 long skip_start, long cut_end, long position, bool from_end) {
    Slice result;
    LocalText copy;
    long shift = 0;
    if (left.empty() || right.empty()) {
        // Work on a copy with the sentinels in place of the empty markers.
        LocalText left_sentinel = left.empty() ? head_marker() : LocalText();
        copy = left_sentinel;
        copy.append(text);
        if (right.empty()) copy.append(tail_marker());
        shift = static_cast<long>(left_sentinel.size());
        text = copy;
        if (position > 0) position += shift;
    }
    LocalText left_sentinel_text = left.empty() ? head_marker() : LocalText(left);
    LocalText right_sentinel_text = right.empty() ? tail_marker() : LocalText(right);
    std::string_view l = left_sentinel_text;
    std::string_view r = right_sentinel_text;

    long left_at = -1;
    long right_at = -1;
    if (!from_end) {
        left_at = find_text(text, l, position < 1 ? 1 : position, true);
        if (left_at < 0) return result;
        right_at = find_text(text, r, left_at + static_cast<long>(l.size()), true);
        if (right_at < 0) return result;
    } else {
        long limit = position > 0 ? position - 1 : -1;
        right_at = find_text_last(text, r, limit, true);
        if (right_at < 0) return result;
        left_at = find_text_last(text, l, right_at - 1, true);
        if (left_at < 0) return result;
    }
    size_t left_end = static_cast<size_t>(left_at - 1) + l.size();
    size_t right_start = static_cast<size_t>(right_at - 1);
    result.found = true;
    result.text = span(text, left_end, right_start, skip_start, cut_end);
    result.left_start = left_at - shift;
    result.behind_right = right_at + static_cast<long>(r.size()) - shift;
    return result;
}

LocalText as_local_text(std::string_view bytes) {
    return LocalText(until_zero(bytes));
}

}  // namespace

LocalText slice_between_markers(std::string_view text, std::string_view left,
                                std::string_view right, long skip_start, long cut_end,
                                long* position, bool from_end, bool pairs_to_quote) {
    LocalText l(left);
    LocalText r(right);
    if (pairs_to_quote) {
        l = replace_pairs_by_quote(l);
        r = replace_pairs_by_quote(r);
    }
    long start = position ? *position : 0;
    Slice s = find_slice(text, l, r, skip_start, cut_end, start, from_end);
    if (!s.found) return {};
    if (position) *position = from_end ? s.left_start : s.behind_right;
    return s.text;
}

LocalText slice_between_markers_lenient(std::string_view text, std::string_view left,
                                        std::string_view right, long& position, bool from_end,
                                        long skip_start, long cut_end, bool keep_pairs) {
    LocalText l(left);
    LocalText r(right);
    if (!keep_pairs) {
        l = replace_pairs_by_quote(l);
        r = replace_pairs_by_quote(r);
    }
    Slice s = find_slice(text, l, r, skip_start, cut_end, position, from_end);
    if (!s.found) {
        s = find_slice(text, remove_quotes(l), remove_quotes(r), skip_start, cut_end, position,
                       from_end);
    }
    if (!s.found) return {};
    // Backward, the next search has to end before this hit, or a loop over the text would
    // find the same slice for ever.
    position = from_end ? s.left_start : s.behind_right;
    return s.text;
}

bool contains_pattern(std::string_view text, std::string_view pattern_list, bool any) {
    for (const LocalText& item : split_text(pattern_list, "[fg]")) {
        bool hit = find_text(text, replace_pairs_by_quote(item), 1, true) > 0;
        if (any && hit) return true;
        if (!any && !hit) return false;
    }
    return !any;
}

MetaCharset detect_meta_charset(std::string_view html) {
    static const char* const lists[] = {
        "charset=UTF-8[fg]charset=''UTF-8''[fg]charset='UTF-8'",
        "charset=Big5[fg]charset=''Big5''[fg]charset='Big5'",
        "charset=Big5-HKSCS[fg]charset=''Big5-HKSCS''[fg]charset='Big5-HKSCS'",
    };
    LocalText head = slice_between_markers(html, "<head>", "</head>");
    std::string_view area = head.empty() ? html : std::string_view(head);
    long position = 0;
    for (;;) {
        long before = position;
        LocalText tag = slice_between_markers_lenient(area, "<meta", ">", position);
        if (tag.empty() && position == before) break;  // no further meta tag
        if (tag.empty()) continue;
        for (int i = 0; i < 3; ++i) {
            if (contains_pattern(tag, lists[i], true)) return MetaCharset{true, i + 1};
        }
    }
    return MetaCharset{};
}

std::string convert(std::string_view bytes, const char* from_name, const char* to_name) {
    return iconv_convert(bytes, from_name, to_name);
}

LocalText utf16_to_local(std::string_view bytes) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                              (static_cast<unsigned char>(bytes[i + 1]) << 8));
        if (unit == 0) break;  // the text ends at its first zero
        units.push_back(unit);
    }
    return as_local_text(utf16_to_code_page(units, CodePage::gbk, '?'));
}

LocalText utf8_to_local(std::string_view bytes) {
    std::u16string units = code_page_to_utf16(bytes, CodePage::utf8);
    size_t zero = units.find(u'\0');
    if (zero != std::u16string::npos) units.resize(zero);
    return as_local_text(utf16_to_code_page(units, CodePage::gbk, '?'));
}

LocalText big5_to_local(std::string_view text) {
    std::u16string units = code_page_to_utf16(until_zero(text), CodePage::big5);
    return as_local_text(utf16_to_code_page(units, CodePage::gbk, std::nullopt));
}

DecodedText decode_to_local_text(std::string_view bytes, int requested_code) {
    size_t position = 0;
    int code = requested_code;
    if (code < 0 || code > 6) code = 1;
    if (code == 3 || code == 4) {
        position = bytes.size() < 2 ? bytes.size() : 2;
    } else if (code == 2) {
        if (starts_with_bytes(bytes, "\xEF\xBB\xBF")) position = 3;
    } else if (code == 0) {
        if (starts_with_bytes(bytes, "\xEF\xBB\xBF")) {
            code = 2;
            position = 3;
        } else if (starts_with_bytes(bytes, "\xFF\xFE")) {
            code = 3;
            position = 2;
        } else if (starts_with_bytes(bytes, "\xFE\xFF")) {
            code = 4;
            position = 2;
        } else {
            MetaCharset meta = detect_meta_charset(until_zero(bytes));
            static const int code_of_meta[] = {1, 2, 5, 6};
            code = meta.found ? code_of_meta[meta.meta_code] : 1;
        }
    }
    std::string_view rest = bytes.substr(position);

    LocalText text;
    if (code >= 2 && code <= 6) {
        text = as_local_text(convert(rest, converter_name(code), "GB18030"));
        if (text.empty()) {
            if (code == 2) {
                text = utf8_to_local(rest);
            } else if (code == 3) {
                text = utf16_to_local(rest);
            } else if (code == 4) {
                // Big-endian units are swapped into the little-endian order the fallback reads;
                // taking them as they stand would turn every character into another one.
                std::string swapped(rest.substr(0, rest.size() & ~size_t{1}));
                for (size_t i = 0; i + 1 < swapped.size(); i += 2)
                    std::swap(swapped[i], swapped[i + 1]);
                text = utf16_to_local(swapped);
            } else {
                text = big5_to_local(rest);
            }
        }
    } else {
        std::string converted = convert(rest, "UTF-8", "GB18030");
        if (!converted.empty()) {
            if (converted.size() < rest.size()) code = 2;
            text = as_local_text(converted);
        }
    }
    if (text.empty()) {
        text = as_local_text(bytes);
        code = 1;
    }
    return DecodedText{std::move(text), code};
}

DecodedText decode_file_to_local_text(const std::filesystem::path& file, int requested_code) {
    std::string bytes;
    if (!read_whole_file(file, bytes)) return DecodedText{{}, 0};
    return decode_to_local_text(bytes, requested_code);
}

LocalText decode_bytes_to_local_text(std::string_view bytes, int requested_code) {
    return decode_to_local_text(bytes, requested_code).text;
}

LocalText decode_bytes_to_local_text(const ByteBuffer& bytes, int requested_code) {
    return decode_to_local_text(
               std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
               requested_code)
        .text;
}

}  // namespace trasslo
