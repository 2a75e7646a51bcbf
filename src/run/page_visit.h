// A trace visit with the page facts a report needs: the visit of fetch_title, with each
// attempt's page read by an HTML parser for the keyword echo and robots noindex.
#pragma once

#include <string_view>

#include "net/visit_outcome.h"

namespace trasslo {

// The reader of each attempt's page: echo of `keyword` (local text) and noindex.
PageReader page_reader(std::string_view keyword);

// `timeout_ms` > 0: the longest any request of the visit may take. Through `proxies` when
// given: the site's route from the pool, and a visit that failed at its proxy made again through
// the next route (the failed try is not kept); every proxy resting gives `proxy-failed` without
// a request. Without a pool: direct.
VisitOutcome visit_page(std::string_view address_template, std::string_view keyword, int encoding,
                        long timeout_ms = 0, ProxyPool* proxies = nullptr);

// The outcome of a visit that was not made because every proxy was resting.
VisitOutcome proxy_failed_outcome(std::string_view address_template, std::string_view keyword,
                                  int encoding);

}  // namespace trasslo
