// Percent-encoding of keywords in an engine's page encoding, and the list-driven replacement
// that its last touches (and the entity decoder) use.
#pragma once

#include <string_view>

#include "text/local_text.h"

namespace trasslo {

// Escapes every byte but 0-9 A-Z a-z as %XX (upper-case hex); '.', '_' and '-' stay literal
// unless `encode_all`. With `utf8`, the UTF-8 bytes of the text are escaped instead of its GBK
// bytes. `keep_amp_eq` leaves '&' and '=' literal. Pumps pending events after each escape.
//   url_encode("abc 中") == "abc%20%D6%D0";  url_encode("abc 中", true) == "abc%20%E4%B8%AD"
LocalText url_encode(std::string_view text, bool utf8 = false, bool keep_amp_eq = false,
                     bool encode_all = false);

// The UTF-8 bytes of a local text, ending with one zero byte (the converted terminator);
// empty when the conversion fails.
ByteBuffer local_to_utf8_terminated(std::string_view text);

// Replaces, pair by pair, the items of `find_list` by those of `replace_list` (both joined by
// `separator`, "|" when empty). Missing replacements are empty, or item 1 with `fill_empty`;
// `count` < 1 replaces every occurrence. ASCII letters fold unless `case_sensitive`.
//   list_replace("a|b|c", "a|b|c", "x") == "x||"
LocalText list_replace(std::string_view text, std::string_view find_list,
                       std::string_view replace_list, bool case_sensitive = false,
                       bool fill_empty = false, std::string_view separator = "|", long count = 0);

// A keyword (lossless local text, text/lossless_text.h) escaped for an engine: url_encode of its
// UTF-8 bytes, every character typed included, or of its GBK bytes with Windows' best fit (or
// "?") for the characters GBK lacks.
LocalText encode_keyword(std::string_view keyword, bool utf8);

// The address of one visit: `{*}` in the template (exact, case-sensitive, every occurrence)
// replaced by the keyword encoded in the engine's encoding.
LocalText fill_template(std::string_view address_template, std::string_view keyword, bool utf8);

}  // namespace trasslo
