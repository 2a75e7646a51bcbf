#include "run/parallel_run.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "base/event_pump.h"
#include "run/format_duration.h"
#include "run/page_visit.h"
#include "run/run_state.h"
#include "run/site_turns.h"
#include "run/visit_reason.h"
#include "text/url_encode.h"

namespace trasslo {
namespace {

using Clock = std::chrono::steady_clock;

struct PlannedVisit {
    VisitPosition position;
    int keyword_count = 0;
    const LocalText* keyword = nullptr;
    TraceEngine engine;
};

// What the run keeps per site beside its queue of visits.
struct SiteTurn {
    int failures_in_row = 0;
    bool down = false;
    std::unique_ptr<VisitSteps> steps;
    std::optional<ProxyRoute> route;  // of the visit under way
    Clock::time_point attempt_at{};   // the next attempt of a visit whose title was empty
    bool between_attempts = false;
    RateLimitWaits waits;  // of the visit at the front
};
using Site = SiteQueue<PlannedVisit, SiteTurn>;

bool counts_as_down(VisitError error) {
    return error == VisitError::dns || error == VisitError::connect ||
           error == VisitError::bad_response || error == VisitError::timeout ||
           error == VisitError::tls;
}

class ParallelRun {
  public:
    ParallelRun(RunView& view, const RunServices& services, const ParallelSettings& settings,
                RunReport& report)
        : view_(view),
          services_(services),
          recorder_(services.recorder),
          settings_(settings),
          report_(report),
          timeout_ms_(services.timeout_ms) {}

    // Groups the plan by site, keeping each site's visits in plan order.
    void plan(const std::vector<PlannedVisit>& visits) {
        sites_ = queue_by_site<SiteTurn>(visits, [](const PlannedVisit& visit) -> const LocalText& {
            return visit.engine.address;
        });
        planned_ = static_cast<int>(visits.size());
        view_.set_progress_maximum(planned_);
        view_.set_progress_position(0);
    }

    void go() {
        bool& stop = trace_stop_flag();
        for (;;) {
            process_pending_events();
            if (stop) break;
            const Clock::time_point now = Clock::now();
            Clock::time_point next = now + std::chrono::milliseconds(SiteTransfers::kLongestWaitMs);
            bool pending = false;
            for (std::size_t s = 0; s < sites_.size(); ++s) {
                Site& site = sites_[s];
                if (site.busy) {
                    pending = true;
                    if (site.between_attempts) {
                        if (site.attempt_at <= now)
                            begin_attempt(s);
                        else
                            next = std::min(next, site.attempt_at);
                    }
                    continue;
                }
                if (site.items.empty()) continue;
                if (site.down) {
                    skip_down_site(site);
                    continue;
                }
                pending = true;
                if (site.ready > now) {
                    next = std::min(next, site.ready);
                } else if (active_ < settings_.sites) {
                    start_visit(s);
                }
            }
            if (!pending) break;
            transfers_.drive(next, [this](std::size_t s, HttpResponse response) {
                sites_[s].steps->finish_attempt(std::move(response));
                after_attempt(s);
            });
        }
        // Stopped: the transfers in flight are given up; their visits stay unmade.
        transfers_.abort_all();
    }

  private:
    long interval_ms() { return read_interval_ms(view_.interval_text()); }

    void start_visit(std::size_t s) {
        Site& site = sites_[s];
        const PlannedVisit& visit = site.items.front();
        site.busy = true;
        ++active_;
        site.route.reset();
        if (services_.proxies) {
            site.route = services_.proxies->choose(site_of_address(visit.engine.address));
            if (!site.route) {
                // Every proxy rests: the visit fails without a request, never direct.
                const PlannedVisit made = visit;
                site.items.pop_front();
                record(made, proxy_failed_outcome(made.engine.address, *made.keyword,
                                                  made.engine.encoding));
                release(site, Clock::now() + std::chrono::milliseconds(interval_ms()));
                return;
            }
        }
        site.steps = std::make_unique<VisitSteps>(visit.engine.address, *visit.keyword,
                                                  visit.engine.encoding,
                                                  page_reader(*visit.keyword), timeout_ms_);
        if (site.route) site.steps->set_route(*site.route);
        begin_attempt(s);
    }

    void begin_attempt(std::size_t s) {
        Site& site = sites_[s];
        site.between_attempts = false;
        if (std::optional<HttpRequest> request = site.steps->begin_attempt()) {
            transfers_.start(s, *request);
        } else {
            after_attempt(s);
        }
    }

    void after_attempt(std::size_t s) {
        Site& site = sites_[s];
        // A site that asks to be left alone gets no second attempt of the visit at once: the
        // visit is made again after the site's wait instead.
        if (site.steps->another_attempt() && !asks_to_slow_down(site.steps->last_status())) {
            site.between_attempts = true;
            site.attempt_at = Clock::now() + std::chrono::milliseconds(kAttemptPauseMs);
            return;
        }
        VisitOutcome outcome = site.steps->take_outcome();
        site.steps.reset();
        const Clock::time_point now = Clock::now();
        if (outcome.abandoned) {
            release(site, now);
            return;
        }
        if (site.route && !site.route->environment) {
            if (outcome.proxy_fault) {
                // The way failed, not the site: the same visit again through the next route.
                services_.proxies->failed(*site.route);
                release(site, now);
                return;
            }
            services_.proxies->succeeded(*site.route);
        }
        if (asks_to_slow_down(outcome.status)) {
            if (const std::optional<std::chrono::milliseconds> wait =
                    site.waits.next_wait(settings_, outcome.retry_after_seconds, interval_ms())) {
                // The same visit again once the site's wait is over; other sites go on.
                release(site, now + *wait);
                return;
            }
            outcome.error = VisitError::rate_limited;
        }
        const PlannedVisit visit = site.items.front();
        site.items.pop_front();
        site.waits.reset();
        record(visit, outcome);
        site.failures_in_row = counts_as_down(outcome.error) ? site.failures_in_row + 1 : 0;
        if (site.failures_in_row >= settings_.down_after) site.down = true;
        release(site, now + std::chrono::milliseconds(interval_ms()));
    }

    void release(Site& site, Clock::time_point ready) {
        site.busy = false;
        site.between_attempts = false;
        site.ready = ready;
        --active_;
    }

    // A site that is down: its other visits are recorded without a request.
    void skip_down_site(Site& site) {
        while (!site.items.empty() && !trace_stop_flag()) {
            const PlannedVisit visit = site.items.front();
            site.items.pop_front();
            VisitOutcome outcome;
            outcome.address =
                fill_template(visit.engine.address, *visit.keyword, visit.engine.encoding == 1);
            outcome.error = VisitError::site_down;
            record(visit, outcome);
        }
    }

    void record(const PlannedVisit& visit, const VisitOutcome& outcome) {
        if (report_.halted) return;
        if (recorder_) recorder_->visit_made(visit.position, *visit.keyword, visit.engine, outcome);
        view_.set_status_text(visit_status_text(visit.keyword_count, visit.position.keyword,
                                                visit.engine.name, outcome.title) +
                              visit_failure_reason(outcome));
        count_visit(report_, outcome);
        view_.set_progress_position(++ended_);
        safeguard_halts_run(services_, outcome, report_);
    }

    RunView& view_;
    const RunServices& services_;
    RunRecorder* recorder_;
    const ParallelSettings& settings_;
    RunReport& report_;
    long timeout_ms_;
    std::vector<Site> sites_;
    SiteTransfers transfers_;
    int active_ = 0;
    int planned_ = 0;
    int ended_ = 0;
};

}  // namespace

RunReport run_parallel(RunView& view, const RunServices& services,
                       const ParallelSettings& settings) {
    RunReport report;
    if (!take_start_click(view)) return report;
    report.started = true;
    const Clock::time_point start = Clock::now();
    const RunActiveScope active;

    const std::vector<LocalText> keywords = split_text(view.keyword_list_text(), "\r\n");
    const int keyword_count = static_cast<int>(keywords.size());
    const int rounds = read_loop_count(view.loop_count_text());
    view.set_status_text(local("留痕初始化中.."));
    view.set_progress_visible(true);
    RunRecorder* const recorder = services.recorder;
    const std::vector<TraceEngine> engines = view.engine_snapshot();
    if (recorder) {
        RunInputs inputs;
        inputs.rounds = rounds;
        inputs.interval = view.interval_text();
        inputs.keywords = keywords;
        inputs.engines = engines;
        recorder->run_started(inputs);
    }

    // The sequential run's plan: rounds, then keywords, then ticked engines in list order.
    std::vector<PlannedVisit> plan;
    bool any_engine = false;
    for (int round = 1; round <= rounds; ++round) {
        for (int j = 1; j <= keyword_count; ++j) {
            for (std::size_t k = 0; k < engines.size(); ++k) {
                if (!engines[k].enabled) continue;
                any_engine = true;
                const VisitPosition position{round, j, static_cast<int>(k) + 1};
                if (recorder && recorder->visit_recorded(position)) continue;
                plan.push_back({position, keyword_count, &keywords[static_cast<std::size_t>(j - 1)],
                                engines[k]});
            }
        }
        // Every round has the same plan; a list without a ticked engine gives none.
        if (!any_engine) break;
    }

    if (!any_engine && keyword_count > 0) {
        // As the sequential run asks for each keyword without one; Cancel ends the run.
        MessageRequest question;
        question.text = no_engine_question_text();
        question.buttons = MessageButtons::ok_cancel;
        question.icon = MessageIcon::warning;
        report.cancelled = view.show_run_message(question) == MessageAnswer::cancel;
    } else {
        ParallelRun run(view, services, settings, report);
        run.plan(plan);
        run.go();
    }

    report.stopped = trace_stop_flag();
    report.elapsed_ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    if (recorder) recorder->run_ended(!report.stopped && !report.cancelled);
    view.set_start_caption(idle_start_caption());
    view.set_progress_visible(false);
    view.show_run_message(run_end_message(report));
    return report;
}

}  // namespace trasslo
