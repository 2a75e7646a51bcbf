// Retry-After on any header block, and HTTP dates of any shape: the wait is never negative and
// never past the clamp, so a caller may turn it into milliseconds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "net/retry_after.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    trasslo::fuzz::FuzzInput in(data, size);
    std::time_t now = 0;
    for (int i = 0; i < 5; ++i) now = now * 256 + in.byte();  // up to the year 36812
    const std::string_view value = in.piece('\n');
    const std::string_view block = in.rest();

    auto in_range = [](std::optional<long long> seconds) {
        return !seconds || (*seconds >= 0 && *seconds <= 999999999LL);
    };
    if (!in_range(trasslo::retry_after_seconds(block, now))) __builtin_trap();
    const std::string line = "HTTP/1.1 429 Too Many\r\nRetry-After: " + std::string(value) + "\r\n";
    const std::optional<long long> seconds = trasslo::retry_after_seconds(line, now);
    if (!in_range(seconds)) __builtin_trap();
    // Digits alone are the number they write, clamped.
    if (!value.empty() && value.find_first_not_of("0123456789") == std::string_view::npos) {
        const std::size_t first = value.find_first_not_of('0');
        const std::string_view digits = first == std::string_view::npos ? "" : value.substr(first);
        const long long expected = digits.size() > 9
                                       ? 999999999LL
                                       : (digits.empty() ? 0 : std::stoll(std::string(digits)));
        if (seconds != expected) __builtin_trap();
    }
    return 0;
}
