// The trace run over many sites at once, polite to each: at most one request in flight per site,
// the interval kept per site from the end of its previous visit, a site's visits in the order
// the sequential run makes them, 429/503 answers backed off, a site that is down skipped. All
// transfers are driven from this one thread by one curl multi handle. The journal records every
// visit as the sequential run would, so reports and --resume do not know the difference.
#pragma once

#include "run/rate_limit.h"
#include "run/run_view.h"
#include "run/trace_run.h"

namespace trasslo {

// How the run treats sites. The product's values are the defaults; tests shorten the times.
struct ParallelSettings : RateLimitSettings {
    int sites = 2;       // sites visited at once, 1 to 256
    int down_after = 5;  // failed visits in a row (dns, connect, timeout, tls)
                         // after which a site's other visits are not made
};

// The run of on_start_button_clicked with its visits spread over sites: the same status lines
// (in the order the visits end), final message, record and stop. A stop aborts the transfers in
// flight within a second; their visits are not recorded, so a resumed run makes them. The
// view's interval is read at the end of each visit; services.visit and services.wait are not
// used (the visits' requests are made here).
RunReport run_parallel(RunView& view, const RunServices& services,
                       const ParallelSettings& settings);

}  // namespace trasslo
