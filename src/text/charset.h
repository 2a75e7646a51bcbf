// Charset detection and conversion of everything read from outside (the engine list file, page
// bodies, response texts) into local text.
//
// Charset codes: 0 = detect (request only), 1 = local GBK, 2 = UTF-8, 3 = UTF-16LE,
// 4 = UTF-16BE, 5 = BIG5, 6 = BIG5-HKSCS. A requested code outside 0..6 behaves like 1.
#pragma once

#include <filesystem>
#include <string_view>

#include "text/local_text.h"

namespace trasslo {

struct DecodedText {
    LocalText text;
    int code = 0;  // the charset used in the end; 0 when the file could not be opened
};

// Decodes a byte block: by the requested code, or (0) by byte-order mark, then the HTML meta
// charset, then a UTF-8 trial. Always yields whatever bytes it could read.
DecodedText decode_to_local_text(std::string_view bytes, int requested_code = 0);

// Same for a file; a file that cannot be opened gives an empty text with code 0.
DecodedText decode_file_to_local_text(const std::filesystem::path& file, int requested_code = 0);

// The byte-block form returning only the text.
LocalText decode_bytes_to_local_text(std::string_view bytes, int requested_code = 0);
LocalText decode_bytes_to_local_text(const ByteBuffer& bytes, int requested_code = 0);

struct MetaCharset {
    bool found = false;
    int meta_code = 0;  // 1 = UTF-8, 2 = Big5, 3 = Big5-HKSCS, 0 = nothing found
};
MetaCharset detect_meta_charset(std::string_view html);

// The decoder's fallbacks through the code-page conversion (code page 936 on the local side).
// Each reads bytes and ends the text at its first zero character, unlike local() and
// utf16_to_local_text(), which take every character of a UTF-8 string or of UTF-16 units.
LocalText utf8_to_local(std::string_view bytes);
LocalText utf16_to_local(std::string_view bytes);  // UTF-16LE; '?' for characters GBK lacks
LocalText big5_to_local(std::string_view text);    // ends at the first character GBK lacks

}  // namespace trasslo
