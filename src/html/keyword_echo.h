// The echo rule: whether a result page shows the keyword that was searched for. Both texts are
// UTF-8; white space runs count as one space and ASCII letters are compared case-blind, so
// "Tandel  TRASSLO" echoes "tandel trasslo". Other letters are compared as they are.
#pragma once

#include <string>
#include <string_view>

namespace trasslo {

// Every run of white space (ASCII space, tab, CR, LF, form feed, and the no-break space U+00A0)
// as one space, none at either end.
std::string collapse_white_space(std::string_view utf8);

// Whether `keyword` appears in `page_text` (a text from read_html_page) under the rule above.
// A keyword with nothing but white space in it shows nothing and is never echoed.
bool text_echoes_keyword(std::string_view page_text, std::string_view keyword);

}  // namespace trasslo
