#include "base/event_pump.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace trasslo {
namespace {

struct PumpState {
    std::mutex mutex;
    std::function<void()> pump;
    std::atomic<std::thread::id> owner{};
    std::atomic<bool> installed{false};
};

PumpState& state() {
    static PumpState s;
    return s;
}

}  // namespace

void install_event_pump(std::function<void()> pump) {
    PumpState& s = state();
    std::lock_guard lock(s.mutex);
    s.pump = std::move(pump);
    s.owner = std::this_thread::get_id();
    s.installed = static_cast<bool>(s.pump);
}

void process_pending_events() {
    PumpState& s = state();
    if (!s.installed.load(std::memory_order_relaxed)) return;
    // Only the installing thread pumps; its own copy of the pump never changes under it, since
    // installing happens on that same thread.
    if (s.owner.load() != std::this_thread::get_id()) return;
    thread_local std::chrono::steady_clock::time_point last{};
    auto now = std::chrono::steady_clock::now();
    if (now - last < std::chrono::milliseconds(2)) return;
    std::function<void()> pump;
    {
        std::lock_guard lock(s.mutex);
        pump = s.pump;
    }
    if (pump) pump();
    last = std::chrono::steady_clock::now();
}

void run_beside(const std::function<void()>& work) {
    PumpState& s = state();
    if (!s.installed.load() || s.owner.load() != std::this_thread::get_id()) {
        work();
        return;
    }
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
    });
    while (!done) {
        process_pending_events();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    worker.join();
}

void pause_until_stopped(long milliseconds, const std::function<bool()>& stopped) {
    long waited = 0;
    while (waited < milliseconds && !stopped()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        process_pending_events();
        waited += 10;
    }
}

void pause(long milliseconds, const bool& stop) {
    pause_until_stopped(milliseconds, [&stop] { return stop; });
}

void pause(long milliseconds) {
    const bool never = false;
    pause(milliseconds, never);
}

}  // namespace trasslo
