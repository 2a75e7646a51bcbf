// A trace visit with the page facts a report needs: the visit of fetch_title, with each
// attempt's page read by an HTML parser for the keyword echo and robots noindex.
#pragma once

#include <string_view>

#include "net/visit_outcome.h"

namespace trasslo {

// The reader of each attempt's page: echo of `keyword` (local text) and noindex.
PageReader page_reader(std::string_view keyword);

// `timeout_ms` > 0: the longest any request of the visit may take.
VisitOutcome visit_page(std::string_view address_template, std::string_view keyword, int encoding,
                        long timeout_ms = 0);

}  // namespace trasslo
