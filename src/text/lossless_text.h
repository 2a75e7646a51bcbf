// Local text that loses no character: GBK bytes for every character GBK has, and a numeric
// character reference ("&#54620;") for each one it lacks. Keywords take this form from the
// window's keyword box and the keyword files, so that 한국어, emoji or 𠀀 reach a UTF-8 engine as
// they were typed, and the settings file keeps them, while every character GBK has keeps its
// GBK bytes. Only references to characters GBK lacks are read back: "&#65;" typed as it stands
// stays those five characters.
//
//   lossless_from_utf8("한a") == "&#54620;a"        lossless_to_utf8("&#54620;a") == "한a"
#pragma once

#include <string>
#include <string_view>

#include "text/local_text.h"

namespace trasslo {

// UTF-16 code units or UTF-8 to lossless local text.
LocalText lossless_from_utf16(std::u16string_view units);
LocalText lossless_from_utf8(std::string_view utf8);

// Lossless local text to UTF-16 or UTF-8: the references of characters GBK lacks become them.
std::u16string lossless_to_utf16(std::string_view local_text);
std::string lossless_to_utf8(std::string_view local_text);

// Whether the text holds a character GBK lacks (as its reference).
bool has_characters_gbk_lacks(std::string_view local_text);

// A text file's bytes (a keyword file) decoded as charset.h decodes them, into lossless local
// text when they are UTF-8 or UTF-16.
LocalText decode_lossless(std::string_view bytes);

// The GBK bytes a GBK engine gets: Windows' best fit for a character GBK lacks, or "?".
std::string lossless_to_gbk_best_fit(std::string_view local_text);

}  // namespace trasslo
