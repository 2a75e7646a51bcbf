// The text between two delimiters from any start, with and without case folding, and the value
// after a colon.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_input.h"
#include "net/text_between.h"
#include "text/local_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    trasslo::fuzz::FuzzInput in(data, size);
    const unsigned flags = in.byte();
    const long start = static_cast<signed char>(in.byte()) * ((flags & 2) ? 1000L : 1L);
    const std::string_view left = in.piece();
    const std::string_view right = in.piece();
    const std::string_view text = in.rest();
    const bool ignore_case = flags & 1;

    // Whatever comes out is a piece of the text; plain delimiters stand right around it.
    const auto between = trasslo::text_between(text, left, right, start, ignore_case);
    if (!between.empty() && text.find(between) == std::string_view::npos) __builtin_trap();
    const auto quote = trasslo::local("#引号");
    const bool plain =
        left.find(quote) == std::string_view::npos && right.find(quote) == std::string_view::npos;
    if (plain && !ignore_case && !between.empty()) {
        const std::string around = std::string(left) + between + std::string(right);
        if (text.find(around) == std::string_view::npos) __builtin_trap();
    }

    const auto value = trasslo::value_after_colon(text);
    if (!value.empty() && text.find(value) == std::string_view::npos) __builtin_trap();

    const trasslo::ByteBuffer a(left.begin(), left.end()), b(text.begin(), text.end());
    if (trasslo::append_bytes({&a, &b}).size() != a.size() + b.size()) __builtin_trap();
    return 0;
}
