#include "net/text_between.h"

namespace trasslo {

LocalText text_between(std::string_view text, std::string_view left, std::string_view right,
                       long start, bool ignore_case) {
    static const LocalText quote_word = local("#引号");
    const LocalText l = replace_text(left, quote_word, "\"");
    const LocalText r = replace_text(right, quote_word, "\"");
    if (start < 1) start = 1;
    const long at = find_text(text, l, start, ignore_case);
    if (at < 0) return {};
    const long value_start = at + static_cast<long>(l.size());
    const long end = find_text(text, r, value_start, ignore_case);
    if (end < 0) return {};
    return LocalText(
        text.substr(static_cast<size_t>(value_start - 1), static_cast<size_t>(end - value_start)));
}

LocalText value_after_colon(std::string_view text) {
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos) return {};
    return trim(text.substr(colon + 1));
}

ByteBuffer append_bytes(std::initializer_list<const ByteBuffer*> buffers) {
    size_t total = 0;
    for (const ByteBuffer* b : buffers)
        if (b) total += b->size();
    ByteBuffer out;
    out.reserve(total);
    for (const ByteBuffer* b : buffers)
        if (b) out.insert(out.end(), b->begin(), b->end());
    return out;
}

}  // namespace trasslo
