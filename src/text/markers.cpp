#include "text/markers.h"

namespace trasslo {
namespace {

// An empty marker stands for the start or the end of the text: these sentinels are put there.
LocalText head_marker() {
    return local("#Tandel头#");
}
LocalText tail_marker() {
    return local("#Tandel尾#");
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

}  // namespace trasslo
