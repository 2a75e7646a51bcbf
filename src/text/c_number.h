// Numbers read from text the lenient way of the C library's atoi and atof: leading blanks, a
// sign, then as much of a number as there is; text that does not begin with one reads as 0.
// Locale-free: the window's toolkit switches LC_NUMERIC to the user's, where "0.5" would read
// as 0 with a decimal comma.
//   read_c_integer(" -12ab") == -12      read_c_float("2.5s") == 2.5      read_c_float("x") == 0
#pragma once

#include <cstddef>
#include <string_view>

namespace trasslo {

// The C library's isspace in the "C" locale: space, \t, \n, \v, \f, \r.
bool is_c_space(char c);

// atoi / strtol rules, clamped to the range of long long instead of overflowing. `digits`, when
// given, receives the number of digits read (0: the text held no number).
long long read_c_integer(std::string_view text, std::size_t* digits = nullptr);

// atof rules: decimal or "0x" hexadecimal, fraction and exponent, "inf" and "nan"; a number too
// large gives infinity and one too small 0, as strtod does.
double read_c_float(std::string_view text);

}  // namespace trasslo
