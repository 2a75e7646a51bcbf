// url_encode with each flag, list_replace with fuzzed lists, and the filled-in template.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/url_encode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned flags = data[0];
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string_view text = trasslo::until_zero(rest);
    auto encoded = trasslo::url_encode(text, flags & 1, flags & 2, flags & 4);
    // Every byte of an encoding is printable ASCII.
    for (unsigned char c : encoded) {
        if (c < 0x21 || c > 0x7E) __builtin_trap();
    }
    // Split the rest into text / find list / replace list at the first two 0x01 bytes.
    size_t a = rest.find('\x01');
    size_t b = a == std::string_view::npos ? a : rest.find('\x01', a + 1);
    if (b != std::string_view::npos) {
        trasslo::list_replace(rest.substr(0, a), rest.substr(a + 1, b - a - 1), rest.substr(b + 1),
                              flags & 8, flags & 16, (flags & 32) ? "," : "|", flags >> 6);
    }
    trasslo::fill_template("http://x/?q={*}&r={*}", text, flags & 1);
    return 0;
}
