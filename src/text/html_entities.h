// Decoding of HTML character references in page titles.
#pragma once

#include <string_view>

#include "text/local_text.h"

namespace trasslo {

// Named references (40 of them, ASCII case folded except &prime;/&Prime;), then decimal and
// hexadecimal numeric references from the last to the first, unless `skip_numeric`.
//   decode_html_entities("Tom &amp; Jerry") == "Tom & Jerry"
LocalText decode_html_entities(std::string_view text, bool skip_numeric = false);

}  // namespace trasslo
