#include "text/url_encode.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "base/event_pump.h"
#include "text/code_page.h"
#include "text/lossless_text.h"

namespace trasslo {
namespace {

constexpr char hex_digits[] = "0123456789ABCDEF";

bool is_pass_through(unsigned char b) {
    return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

// What one byte becomes: 0 = dropped, 1 = itself, 2 = %XX. The encoder escapes every byte but
// the pass-through set and then restores some escapes with replacements over the whole result;
// since every '%' in the result starts the escape of exactly one byte, those replacements only
// ever meet the byte they stand for, so deciding per byte gives the same text in one pass.
enum Action : std::uint8_t { drop = 0, keep = 1, escape = 2 };

std::array<std::uint8_t, 256> make_actions(bool utf8, bool keep_amp_eq, bool encode_all) {
    std::array<std::uint8_t, 256> actions{};
    for (int b = 0; b < 256; ++b) {
        auto c = static_cast<unsigned char>(b);
        std::uint8_t a = escape;
        if (!encode_all && is_pass_through(c)) a = keep;
        if (keep_amp_eq && (c == '&' || c == '=')) a = keep;
        if (!encode_all && (c == '.' || c == '_' || c == '-')) a = keep;
        // With utf8 every "%00" is taken out again: that is the converted terminator.
        if (utf8 && c == 0) a = drop;
        actions[b] = a;
    }
    return actions;
}

// The eight tables, one per combination of the flags, built once: a keyword is only a few
// bytes, so building 256 entries per call used to cost more than the encoding itself.
const std::array<std::uint8_t, 256>& actions_for(bool utf8, bool keep_amp_eq, bool encode_all) {
    static const auto tables = [] {
        std::array<std::array<std::uint8_t, 256>, 8> t{};
        for (int i = 0; i < 8; ++i) t[i] = make_actions(i & 1, i & 2, i & 4);
        return t;
    }();
    return tables[(utf8 ? 1 : 0) | (keep_amp_eq ? 2 : 0) | (encode_all ? 4 : 0)];
}

// How many escapes pass between two asks for the pump. The pump lets at most one call in
// about 2 ms through, and 64 escapes take well under a microsecond, so asking once per 64
// keeps the window as live as asking per byte, at a fraction of the cost.
constexpr unsigned kEscapesPerPump = 64;

LocalText encode_bytes(std::string_view bytes, const std::array<std::uint8_t, 256>& actions) {
    LocalText out;
    out.resize(bytes.size() * 3);
    char* w = out.data();
    unsigned escapes = 0;
    for (char ch : bytes) {
        auto b = static_cast<unsigned char>(ch);
        switch (actions[b]) {
            case keep:
                *w++ = ch;
                break;
            case escape:
                w[0] = '%';
                w[1] = hex_digits[b >> 4];
                w[2] = hex_digits[b & 0x0F];
                w += 3;
                // The window stays responsive while long keywords are encoded.
                if (escapes++ % kEscapesPerPump == 0) process_pending_events();
                break;
            default:
                break;
        }
    }
    out.resize(static_cast<size_t>(w - out.data()));
    return out;
}

// The UTF-8 bytes of a local text up to its first zero, with the converted terminator;
// nothing when the conversion fails.
std::optional<std::string> utf8_with_terminator(std::string_view text) {
    std::string_view visible = until_zero(text);
    std::string utf8 =
        utf16_to_code_page(code_page_to_utf16(visible, CodePage::gbk), CodePage::utf8, '?');
    if (utf8.empty() && !visible.empty()) return std::nullopt;
    utf8.push_back('\0');
    return utf8;
}

}  // namespace

ByteBuffer local_to_utf8_terminated(std::string_view text) {
    std::optional<std::string> utf8 = utf8_with_terminator(text);
    if (!utf8) return {};
    return ByteBuffer(utf8->begin(), utf8->end());
}

LocalText url_encode(std::string_view text, bool utf8, bool keep_amp_eq, bool encode_all) {
    const auto& actions = actions_for(utf8, keep_amp_eq, encode_all);
    if (!utf8) return encode_bytes(until_zero(text), actions);
    std::optional<std::string> bytes = utf8_with_terminator(text);
    if (!bytes) return {};
    return encode_bytes(*bytes, actions);
}

LocalText list_replace(std::string_view text, std::string_view find_list,
                       std::string_view replace_list, bool case_sensitive, bool fill_empty,
                       std::string_view separator, long count) {
    if (separator.empty()) separator = "|";
    std::vector<LocalText> finds = split_text(find_list, separator);
    std::vector<LocalText> replacements = split_text(replace_list, separator);
    replacements.resize(finds.size());
    LocalText result(text);
    for (size_t i = 0; i < finds.size(); ++i) {
        if (fill_empty && replacements[i].empty()) replacements[i] = replacements[0];
        if (finds[i].empty()) continue;
        result = replace_text(result, finds[i], replacements[i], !case_sensitive, count);
    }
    return result;
}

LocalText encode_keyword(std::string_view keyword, bool utf8) {
    if (!has_characters_gbk_lacks(keyword)) return url_encode(keyword, utf8);
    if (!utf8) return url_encode(lossless_to_gbk_best_fit(keyword), false);
    // Exactly what was typed, characters GBK lacks included.
    std::string bytes = lossless_to_utf8(until_zero(keyword));
    bytes.push_back('\0');
    return encode_bytes(bytes, actions_for(true, false, false));
}

LocalText fill_template(std::string_view address_template, std::string_view keyword, bool utf8) {
    return replace_text(address_template, "{*}", encode_keyword(keyword, utf8), false, 0);
}

}  // namespace trasslo
