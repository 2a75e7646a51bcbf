// Text between markers, the way pages and tags are picked apart: a title between "<title>" and
// "</title>", a meta tag between "<meta" and ">". Case-blind for ASCII; '' in a marker can stand
// for a double quote.
#pragma once

#include <string_view>

#include "text/local_text.h"

namespace trasslo {

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

}  // namespace trasslo
