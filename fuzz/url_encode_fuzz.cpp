// url_encode with each flag, and the filled-in address template.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/lossless_text.h"
#include "text/url_encode.h"

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reverses the percent-encoding; traps on an escape that is not %XX with upper-case hex.
std::string percent_decode(std::string_view encoded) {
    std::string out;
    for (size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] != '%') {
            out += encoded[i];
            continue;
        }
        if (i + 2 >= encoded.size()) __builtin_trap();
        const int high = hex_value(encoded[i + 1]);
        const int low = hex_value(encoded[i + 2]);
        if (high < 0 || low < 0) __builtin_trap();
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

bool is_unreserved(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned flags = data[0];
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string_view text = trasslo::until_zero(rest);
    const bool utf8 = flags & 1, keep_amp_eq = flags & 2, encode_all = flags & 4;

    const auto encoded = trasslo::url_encode(text, utf8, keep_amp_eq, encode_all);
    // Every byte of an encoding is printable ASCII, letters and digits stay literal unless
    // everything is encoded, and decoding gives back the bytes that were encoded: the text
    // itself, or its UTF-8 form without the terminator.
    for (size_t i = 0; i < encoded.size(); ++i) {
        const auto c = static_cast<unsigned char>(encoded[i]);
        if (c < 0x21 || c > 0x7E) __builtin_trap();
    }
    std::string expected(text);
    if (utf8) {
        const auto bytes = trasslo::local_to_utf8_terminated(text);
        expected.assign(bytes.begin(), bytes.end());
        if (!expected.empty()) expected.pop_back();
    }
    if (percent_decode(encoded) != expected) __builtin_trap();
    if (!encode_all) {
        size_t literal = 0;
        for (unsigned char c : expected) literal += is_unreserved(c);
        size_t kept = 0;
        for (unsigned char c : encoded) kept += is_unreserved(c);
        // Hex digits of escapes are letters and digits too, so kept counts at least these.
        if (kept < literal) __builtin_trap();
    }

    // The template: every {*} replaced by the encoded keyword, nothing else touched. A keyword
    // is lossless text: a reference to a character GBK lacks is that character.
    const auto keyword = trasslo::encode_keyword(text, utf8);
    const auto filled = trasslo::fill_template("http://x/?q={*}&r={*}", text, utf8);
    if (filled != "http://x/?q=" + keyword + "&r=" + keyword) __builtin_trap();
    // Without such a reference the keyword is encoded as url_encode encodes it.
    if (!trasslo::has_characters_gbk_lacks(text) && keyword != trasslo::url_encode(text, utf8))
        __builtin_trap();
    return 0;
}
