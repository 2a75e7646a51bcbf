// The engine check of the window: the check of a list run on a thread of its own, with its own
// requests and its own journal connection, so that the window stays fully usable. The worker
// works on its copy of the engines; what it finds reaches the window as tasks posted to the
// user-interface thread (base/ui_dispatch.h), never as calls from the worker's thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "check/check_run.h"

namespace trasslo {

// What the window hears, each on the user-interface thread.
struct CheckWorkerEvents {
    // An engine's check ended: `done` of `total` checked so far.
    std::function<void(std::size_t done, std::size_t total, const EngineCheck& check)> checked;
    // The check ended, every engine checked or stopped; `checks` in the order made.
    std::function<void(const CheckTotals& totals, const std::vector<EngineCheck>& checks)> finished;
    // Once, when the journal is not being kept (UTF-8).
    std::function<void(const std::string& text)> notice;
};

class CheckWorker {
  public:
    // Starts checking `engines` with `keyword` (local text), recording into `journal_file`; no
    // request takes longer than `timeout_ms`; through `proxies` when given (net/proxy_pool.h;
    // its warnings come on the worker's thread).
    CheckWorker(std::vector<TraceEngine> engines, LocalText keyword,
                std::filesystem::path journal_file, CheckWorkerEvents events,
                long timeout_ms = kCheckTimeoutMs, std::shared_ptr<ProxyPool> proxies = nullptr);
    // Stops the check and waits for its thread: within about a second, the request in flight
    // being given up at its next poll.
    ~CheckWorker();
    CheckWorker(const CheckWorker&) = delete;
    CheckWorker& operator=(const CheckWorker&) = delete;

    // Asks the check to stop; `finished` still comes, with `stopped` set.
    void stop() { stop_ = true; }
    bool stopping() const { return stop_.load(); }

  private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace trasslo
