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

// The text between `left` and `right` (ASCII case-insensitive; an empty marker stands for the
// start or end of the text). `position` is 1-based and in/out: the search starts there (0 or 1
// for the start) and it is set just behind `right` (forward) or to the start of `left`
// (backward, `from_end`). Nothing found gives an empty text.
//   slice_between_markers("x<b>y</b>z", "<B>", "</B>", 0, 0, &pos) == "y", pos == 10
LocalText slice_between_markers(std::string_view text, std::string_view left,
                                std::string_view right, long skip_start = 0, long cut_end = 0,
                                long* position = nullptr, bool from_end = false,
                                bool pairs_to_quote = false);

// As above, but '' in the markers stands for " unless `keep_pairs`, and a miss is retried with
// every " removed from both markers.
LocalText slice_between_markers_lenient(std::string_view text, std::string_view left,
                                        std::string_view right, long& position,
                                        bool from_end = false, long skip_start = 0,
                                        long cut_end = 0, bool keep_pairs = false);

// Patterns joined by "[fg]", '' standing for ". With `any`, true when one is found; without,
// true when all are found. Case-insensitive.
bool contains_pattern(std::string_view text, std::string_view pattern_list, bool any);

// Fallbacks through the code-page conversion (code page 936 on the local side).
LocalText utf8_to_local(std::string_view bytes);
LocalText utf16_to_local(std::string_view bytes);  // UTF-16LE; '?' for characters GBK lacks
LocalText big5_to_local(std::string_view text);    // ends at the first character GBK lacks

// The charset converter: an empty result on any invalid or incomplete input sequence.
std::string convert(std::string_view bytes, const char* from_name, const char* to_name);

}  // namespace trasslo
