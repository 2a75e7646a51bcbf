// Conversions between the code pages the program meets (936 = GBK, 65001 = UTF-8, 950 = Big5)
// and UTF-16, as the platform's code-page conversion does them. Code pages 936 and 950 go
// through tables the build makes from Microsoft's best-fit files (data/windows-code-pages/),
// so that they convert exactly as Windows does: user-defined codes decode to private-use
// characters, and encoding maps a character the page lacks to a look-alike where Windows has
// one ("£" to "￡", "é" to "é", "¦" to "|"). UTF-8 goes through the C library's iconv.
// Decoding never fails (a byte that starts no valid character becomes U+FFFD in UTF-8, or '?'
// in the double-byte pages); encoding puts a default character in place of a character the
// page lacks even by best fit, or stops there when no default is wanted.
//
// In code page 936 the single byte 0x80 is the euro sign, both ways.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace trasslo {

enum class CodePage { gbk = 936, utf8 = 65001, big5 = 950 };

// The bytes of a code page as UTF-16 code units.
std::u16string code_page_to_utf16(std::string_view bytes, CodePage page);

// UTF-16 code units (lone surrogates included) as the bytes of a code page. A character the
// page cannot hold becomes `default_char`; with no default the result ends before it.
std::string utf16_to_code_page(std::u16string_view units, CodePage page,
                               std::optional<char> default_char = '?');

// Strict conversion by charset names through iconv: an empty result when the input holds an
// invalid or incomplete sequence for `from_name`, or a character `to_name` cannot hold.
// A `to_name` of "GB18030" gives code page 936 instead, with `?` for a character it lacks,
// so that local text stays code page 936 (the euro sign is 0x80) and only bad input fails.
std::string iconv_convert(std::string_view bytes, const char* from_name, const char* to_name);

}  // namespace trasslo
