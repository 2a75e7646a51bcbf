// The checks a keyword file passes before its lines become keywords: a file that is no text is
// refused, UTF-16 without a byte-order mark is recognised, blank lines are dropped.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "text/local_text.h"

namespace trasslo::cli {

// Why `bytes` are no keyword file ("含有 NUL 字节", "大多是控制字符"), or nothing when they may
// be one. UTF-16, with or without a byte-order mark, is text whatever its zero bytes.
std::optional<std::string> keyword_file_refusal(std::string_view bytes);

// `bytes` with the byte-order mark of the UTF-16 they are when they have none: text of mostly
// ASCII or Chinese in UTF-16 has a zero byte in most of its units, at the odd places for
// little-endian and the even ones for big-endian. Anything else comes back as it is.
std::string with_utf16_mark(std::string_view bytes);

// The lines of a CR LF text without the blank ones (nothing but spaces and tabs).
LocalText without_blank_lines(std::string_view text);

// Whether a CR LF text holds a line that is not blank.
bool has_keyword(std::string_view text);

}  // namespace trasslo::cli
