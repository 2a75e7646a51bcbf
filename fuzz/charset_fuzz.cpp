// Every charset decoder with every requested code, on any bytes, and the marker searches the
// detection is built from.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/charset.h"
#include "text/markers.h"

namespace {

// The requested codes: detection, each of the six charsets, and codes outside the table.
constexpr int kCodes[] = {0, 1, 2, 3, 4, 5, 6, 7, -1, 100, INT_MAX, INT_MIN};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int code = kCodes[data[0] % (sizeof kCodes / sizeof kCodes[0])];
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    const auto decoded = trasslo::decode_to_local_text(bytes, code);
    // The code used in the end is a charset of the table: the requested one, or local text
    // when the conversion gave nothing; detection and local text may end as UTF-8.
    if (decoded.code < 1 || decoded.code > 6) __builtin_trap();
    if (code >= 2 && code <= 6 && decoded.code != code && decoded.code != 1) __builtin_trap();
    if ((code == 1 || code > 6 || code < 0) && decoded.code > 2) __builtin_trap();
    if (trasslo::decode_bytes_to_local_text(bytes, code) != decoded.text) __builtin_trap();

    const auto meta = trasslo::detect_meta_charset(bytes);
    if (meta.found != (meta.meta_code != 0) || meta.meta_code < 0 || meta.meta_code > 3)
        __builtin_trap();
    trasslo::utf8_to_local(bytes);
    trasslo::utf16_to_local(bytes);
    trasslo::big5_to_local(bytes);

    // Marker searches from a fuzzed start, forward and backward: the position stays inside
    // the text (1-based, one behind the end at most) whenever something was found.
    const long start = static_cast<signed char>(data[0]);
    for (bool from_end : {false, true}) {
        long position = start;
        const auto title = trasslo::slice_between_markers_lenient(bytes, "<title>", "</title>",
                                                                  position, from_end);
        if (!title.empty() && (position < 1 || position > static_cast<long>(bytes.size()) + 1))
            __builtin_trap();
        position = start;
        trasslo::slice_between_markers(bytes, "", "''x", data[0] & 7, data[0] >> 5, &position,
                                       from_end, true);
    }
    trasslo::contains_pattern(bytes, "a[fg]''b''[fg][fg]", data[0] & 1);
    return 0;
}
