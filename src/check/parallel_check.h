// The check of a list spread over many sites at once, as polite to each site as the parallel
// run: at most one request in flight per site (robots.txt requests included), up to a number
// of sites at once, every transfer driven from the calling thread by one curl multi handle.
// Each engine is checked by the same steps as check_engine, so the requests and the verdicts
// are those of the check one engine after the other; only the order in which checks end
// differs. A check has no interval between visits.
#pragma once

#include <atomic>
#include <string_view>
#include <vector>

#include "check/check_run.h"

namespace trasslo {

// check_engines with up to `sites` sites (1 to 256) checked at once: each site's engines in
// list order, the sites in any order, `checked` called as each check ends. Once `stop` is set
// the transfers in flight are aborted within a tenth of a second and their checks dropped.
CheckTotals check_engines_in_parallel(const std::vector<TraceEngine>& engines,
                                      std::string_view keyword, int sites,
                                      const std::atomic<bool>& stop, const EngineChecked& checked,
                                      Journal* journal = nullptr, const CheckNotice& notice = {},
                                      long timeout_ms = kCheckTimeoutMs,
                                      ProxyPool* proxies = nullptr);

}  // namespace trasslo
