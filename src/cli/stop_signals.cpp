#include "cli/stop_signals.h"

namespace trasslo::cli {
namespace {

// Written by the signal handler, which may only touch a lock-free atomic.
std::atomic<bool> stop_signal{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void on_stop_signal(int) {
    stop_signal.store(true);
}

}  // namespace

StopSignals::StopSignals(std::function<void()> on_stop)
    : on_stop_(std::move(on_stop)), scope_(hooks()) {
    stop_signal = false;
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, &old_int_);
    sigaction(SIGTERM, &action, &old_term_);
}

StopSignals::~StopSignals() {
    sigaction(SIGINT, &old_int_, nullptr);
    sigaction(SIGTERM, &old_term_, nullptr);
}

const std::atomic<bool>& StopSignals::flag() const {
    return stop_signal;
}

ProcessHooks StopSignals::hooks() {
    ProcessHooks h;
    h.event_pump = [this] {
        if (stop_signal.load() && !delivered_) {
            delivered_ = true;
            if (on_stop_) on_stop_();
        }
    };
    return h;
}

}  // namespace trasslo::cli
