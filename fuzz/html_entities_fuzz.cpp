// decode_html_entities with and without the numeric pass, and the title regex.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/html_entities.h"
#include "text/regex_object.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto decoded = trasslo::decode_html_entities(text);
    // Decoding never makes a text longer: every reference is at least as long as its character.
    if (decoded.size() > text.size()) __builtin_trap();
    trasslo::decode_html_entities(text, true);
    trasslo::title_before_separator(text);
    return 0;
}
