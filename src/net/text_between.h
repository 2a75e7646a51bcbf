// Small text and buffer helpers of the request code: the text between two delimiters, the
// value after a colon, and joining byte buffers.
#pragma once

#include <initializer_list>
#include <string_view>

#include "text/local_text.h"

namespace trasslo {

// The text between the first `left` found from 1-based `start` and the next `right` behind
// it; empty when either is missing. "#引号" in a delimiter stands for a double quote. With
// `ignore_case` ASCII letters are folded in both searches.
//   text_between("a[b]c", "[", "]") == "b"
LocalText text_between(std::string_view text, std::string_view left, std::string_view right,
                       long start = 1, bool ignore_case = false);

// The bytes after the first ':', trimmed; empty when there is no ':'.
LocalText value_after_colon(std::string_view text);

// The buffers joined in order (empty ones contribute nothing).
ByteBuffer append_bytes(std::initializer_list<const ByteBuffer*> buffers);

}  // namespace trasslo
