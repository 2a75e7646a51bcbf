// Local text: GBK (code page 936) bytes in a std::string, the one form every text takes inside
// the program. Lengths and positions count bytes; positions given to and returned by these
// helpers are 1-based, and a search that finds nothing gives -1.
//
// Chinese literals in the sources are UTF-8; `local()` is the one place they become local text:
//   const LocalText section = local("主界面");
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trasslo {

using LocalText = std::string;
using ByteBuffer = std::vector<std::uint8_t>;

// UTF-8 (a source literal, the terminal, a file name) to local text; characters without a GBK
// form become '?'. Unlike the decoder's utf8_to_local, a zero byte does not end the text.
LocalText local(std::string_view utf8);

// The truth words of the program's files: "真" (true, a ticked engine) and "假" (false).
const LocalText& true_word();
const LocalText& false_word();

// Local text to UTF-8, for the terminal, Qt and file names; '?' for what cannot convert. Unlike
// url_encode's local_to_utf8_terminated, no zero byte is added and the result is text.
std::string to_utf8(std::string_view local_text);

// UTF-16 code units (Qt's strings) to local text and back; '?' for characters GBK lacks. Unlike
// the decoder's utf16_to_local, which reads UTF-16LE bytes up to a zero unit.
LocalText utf16_to_local_text(std::u16string_view units);
std::u16string local_text_to_utf16(std::string_view local_text);

// The text up to its first zero byte: texts are zero-terminated where they came from.
std::string_view until_zero(std::string_view text);

// Byte buffers and texts carry the same bytes.
LocalText bytes_to_text(const ByteBuffer& bytes);
// The bytes of a buffer seen as text, without a copy.
inline std::string_view bytes_view(const ByteBuffer& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}
ByteBuffer text_to_bytes(std::string_view text);

// True when the byte starts a double-byte GBK character (0x81..0xFE).
inline bool is_gbk_lead_byte(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}

// True when the text ends with the first byte of a double-byte character and nothing behind
// it, read as every reader here reads text: a first byte takes whichever byte follows it.
// Looks back only over the run of first-byte values at the end.
//   ends_with_cut_character("a\x81") == true   ends_with_cut_character("\xD6\xD0") == false
bool ends_with_cut_character(std::string_view text);

// Removes ASCII spaces and the full-width space (A1 A1) at both ends.
LocalText trim(std::string_view text);

// Finds `pattern` in `text` from 1-based `start`, letting a match begin only at a GBK character
// boundary; with `ignore_case` only ASCII letters are folded. Returns the 1-based position or -1.
// `start` must itself be a character boundary (1, or just behind an earlier match): the scan
// steps whole characters from there, which keeps repeated searches linear. An empty pattern is
// not found.
long find_text(std::string_view text, std::string_view pattern, long start = 1,
               bool ignore_case = false);

// Finds the last match that ends at or before byte `limit` (1-based position of the byte just
// past the match end minus one; -1 for the whole text). Same boundary and case rules.
long find_text_last(std::string_view text, std::string_view pattern, long limit = -1,
                    bool ignore_case = false);

// Replaces occurrences left to right, resuming behind each replacement; `count` < 1 means all.
LocalText replace_text(std::string_view text, std::string_view find, std::string_view replacement,
                       bool ignore_case = false, long count = 0);

// The splitting rule: every separator ends an element, empty elements between separators stay,
// an empty rest after the last separator is dropped, and an empty text gives no element.
//   split_text("a||b|", "|") == {"a", "", "b"}
std::vector<LocalText> split_text(std::string_view text, std::string_view separator);

// ASCII-only lower case.
LocalText ascii_lower(std::string_view text);

}  // namespace trasslo
