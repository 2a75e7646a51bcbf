#include "check/check_worker.h"

#include "base/ui_dispatch.h"

namespace trasslo {

CheckWorker::CheckWorker(std::vector<TraceEngine> engines, LocalText keyword,
                         std::filesystem::path journal_file, CheckWorkerEvents events,
                         long timeout_ms, std::shared_ptr<ProxyPool> proxies) {
    // The events are shared by the tasks posted; a task may run after the worker is gone.
    auto shared = std::make_shared<const CheckWorkerEvents>(std::move(events));
    thread_ = std::thread([this, engines = std::move(engines), keyword = std::move(keyword),
                           journal_file = std::move(journal_file), shared, timeout_ms,
                           proxies = std::move(proxies)] {
        const auto notice = [shared](const std::string& text) {
            post_to_ui([shared, text] {
                if (shared->notice) shared->notice(text);
            });
        };
        const std::unique_ptr<Journal> journal = open_check_journal(journal_file, notice);
        auto checks = std::make_shared<std::vector<EngineCheck>>();
        std::size_t done = 0;
        const std::size_t total = engines.size();
        const CheckTotals totals = check_engines(
            engines, keyword, stop_,
            [&](std::size_t, const EngineCheck& check) {
                checks->push_back(check);
                post_to_ui([shared, check, done = ++done, total] {
                    if (shared->checked) shared->checked(done, total, check);
                });
            },
            journal.get(), notice, timeout_ms, proxies.get());
        post_to_ui([shared, totals, checks] {
            if (shared->finished) shared->finished(totals, *checks);
        });
    });
}

CheckWorker::~CheckWorker() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

}  // namespace trasslo
