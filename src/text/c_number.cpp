#include "text/c_number.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <system_error>

namespace trasslo {

bool is_c_space(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

long long read_c_integer(std::string_view text, std::size_t* digits) {
    std::size_t i = 0;
    while (i < text.size() && is_c_space(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Gathered as a negative number, whose range reaches LLONG_MIN.
    long long value = 0;
    std::size_t count = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++count) {
        const int digit = text[i] - '0';
        value = value < (LLONG_MIN + digit) / 10 ? LLONG_MIN : value * 10 - digit;
    }
    if (digits != nullptr) *digits = count;
    if (negative) return value;
    return value == LLONG_MIN ? LLONG_MAX : -value;
}

double read_c_float(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_c_space(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::string_view rest = text.substr(i);
    double value = 0;
    auto format = std::chars_format::general;
    if (rest.size() > 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
        rest.remove_prefix(2);
        format = std::chars_format::hex;
    }
    // A sign after the one already taken is not a number ("+-1"), which from_chars would read.
    if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) return 0;
    const auto [end, error] =
        std::from_chars(rest.data(), rest.data() + rest.size(), value, format);
    if (error == std::errc::result_out_of_range) {
        // atof gives HUGE_VAL for too large and about 0 for too small numbers; tell them apart
        // by the exponent's sign the way strtod would.
        const bool tiny = rest.find("e-") != std::string_view::npos ||
                          rest.find("E-") != std::string_view::npos ||
                          rest.find("p-") != std::string_view::npos ||
                          rest.find("P-") != std::string_view::npos;
        value = tiny ? 0.0 : HUGE_VAL;
    } else if (error != std::errc()) {
        value = 0;
    }
    (void)end;
    return negative ? -value : value;
}

}  // namespace trasslo
