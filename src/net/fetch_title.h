// The title of one trace visit: the address built from an engine's template and a keyword,
// requested (up to three times) and its <title> read and entity-decoded.
#pragma once

#include <string_view>

#include "text/local_text.h"

namespace trasslo {

// Visits `address_template` with every "{*}" replaced by `keyword` percent-encoded (as UTF-8
// when `encoding` is 1, otherwise as GBK) and returns the page's decoded title. "https://"
// templates go through page_request, all others through HttpClient::request_text. A page
// without a title is requested three times, pausing 500 ms (pumping events) in between;
// the empty text means no title was found. Under an AbandonScope whose flag is set, the request
// in flight, the pause and the attempts left are given up and the empty text returned. The
// visit is visit_page's (net/visit_outcome.h), which also tells how it went.
LocalText fetch_title(std::string_view address_template, std::string_view keyword, int encoding);

}  // namespace trasslo
