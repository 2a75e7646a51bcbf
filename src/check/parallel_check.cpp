#include "check/parallel_check.h"

#include <chrono>
#include <memory>

#include "net/abandon_scope.h"
#include "run/site_turns.h"

namespace trasslo {
namespace {

using Clock = std::chrono::steady_clock;

// What the check keeps per site beside its queue of engines (positions in the list).
struct CheckTurn {
    std::unique_ptr<EngineCheckSteps> steps;  // the check under way
    bool pausing = false;                     // between two attempts of a visit
    Clock::time_point resume_at{};
};
using Site = SiteQueue<std::size_t, CheckTurn>;

class ParallelCheck {
  public:
    ParallelCheck(const std::vector<TraceEngine>& engines, std::string_view keyword, int at_once,
                  const EngineChecked& checked, Journal* journal, const CheckNotice& notice,
                  long timeout_ms, ProxyPool* proxies)
        : proxies_(proxies),
          engines_(engines),
          keyword_(keyword),
          at_once_(at_once),
          checked_(checked),
          journal_(journal),
          notice_(notice),
          timeout_ms_(timeout_ms) {
        std::vector<std::size_t> positions(engines.size());
        for (std::size_t i = 0; i < positions.size(); ++i) positions[i] = i;
        sites_ = queue_by_site<CheckTurn>(positions, [&engines](std::size_t i) -> const LocalText& {
            return engines[i].address;
        });
    }

    CheckTotals go(const std::atomic<bool>& stop) {
        while (!stop.load()) {
            const Clock::time_point now = Clock::now();
            Clock::time_point wake = now + std::chrono::milliseconds(SiteTransfers::kLongestWaitMs);
            bool pending = false;
            for (std::size_t s = 0; s < sites_.size(); ++s) {
                Site& site = sites_[s];
                if (site.busy) {
                    pending = true;
                    if (site.pausing && site.resume_at <= now) {
                        site.pausing = false;
                        step(s);
                    } else if (site.pausing) {
                        wake = std::min(wake, site.resume_at);
                    }
                } else if (!site.items.empty()) {
                    pending = true;
                    if (active_ < at_once_) begin(s);
                }
            }
            if (!pending) break;
            transfers_.drive(wake, [this](std::size_t s, HttpResponse response) {
                sites_[s].steps->answer(std::move(response));
                step(s);
            });
        }
        // Stopped: the transfers in flight are given up, their checks neither shown nor kept.
        transfers_.abort_all();
        totals_.stopped = ended_ < engines_.size();
        return totals_;
    }

  private:
    void begin(std::size_t s) {
        Site& site = sites_[s];
        site.busy = true;
        ++active_;
        site.steps = std::make_unique<EngineCheckSteps>(engines_[site.items.front()], keyword_,
                                                        robots_, timeout_ms_, proxies_);
        step(s);
    }

    // Moves the site's check on to its next request or pause, or to its end.
    void step(std::size_t s) {
        Site& site = sites_[s];
        switch (site.steps->next()) {
            case EngineCheckSteps::Next::request:
                transfers_.start(s, site.steps->request());
                return;
            case EngineCheckSteps::Next::pause:
                site.pausing = true;
                site.resume_at = Clock::now() + std::chrono::milliseconds(kAttemptPauseMs);
                return;
            case EngineCheckSteps::Next::done:
                break;
        }
        const EngineCheck check = site.steps->take_result();
        const std::size_t position = site.items.front();
        site.steps.reset();
        site.items.pop_front();
        site.busy = false;
        --active_;
        if (check.abandoned) return;  // only on a stop, which ends the loop
        ++ended_;
        tally_check(check, totals_, journal_, notice_);
        if (checked_) checked_(position, check);
    }

    ProxyPool* proxies_;
    const std::vector<TraceEngine>& engines_;
    std::string_view keyword_;
    int at_once_;
    const EngineChecked& checked_;
    Journal* journal_;
    const CheckNotice& notice_;
    long timeout_ms_;
    SiteRobots robots_;  // one robots.txt per scheme, host and port for the whole list
    std::vector<Site> sites_;
    SiteTransfers transfers_;
    int active_ = 0;
    std::size_t ended_ = 0;
    CheckTotals totals_;
};

}  // namespace

CheckTotals check_engines_in_parallel(const std::vector<TraceEngine>& engines,
                                      std::string_view keyword, int sites,
                                      const std::atomic<bool>& stop, const EngineChecked& checked,
                                      Journal* journal, const CheckNotice& notice, long timeout_ms,
                                      ProxyPool* proxies) {
    // The steps look for a stop at the end of each visit, as they do in check_engine.
    const AbandonScope abandon(stop);
    ParallelCheck check(engines, keyword, std::max(1, sites), checked, journal, notice, timeout_ms,
                        proxies);
    return check.go(stop);
}

}  // namespace trasslo
