// Every charset decoder with every requested code, on any bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/charset.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int code = data[0] % 9;  // 0..6 and two codes outside the table
    std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    auto decoded = trasslo::decode_to_local_text(bytes, code);
    if (decoded.code < 1 || decoded.code > 6) __builtin_trap();
    trasslo::detect_meta_charset(bytes);
    trasslo::utf8_to_local(bytes);
    trasslo::utf16_to_local(bytes);
    trasslo::big5_to_local(bytes);
    long position = 0;
    trasslo::slice_between_markers_lenient(bytes, "<title>", "</title>", position);
    return 0;
}
