#include "run/run_state.h"

#include <atomic>

namespace trasslo {
namespace {

bool stop_flag = false;
std::uint64_t stop_request_count = 0;
std::atomic<bool> active{false};

}  // namespace

bool& trace_stop_flag() {
    return stop_flag;
}
std::uint64_t trace_stop_requests() {
    return stop_request_count;
}
void request_trace_stop() {
    stop_flag = true;
    ++stop_request_count;
}

void set_run_active(bool value) {
    active.store(value);
}
bool run_active() {
    return active.load();
}

RunActiveScope::RunActiveScope() : was_active_(active.exchange(true)) {}
RunActiveScope::~RunActiveScope() {
    active.store(was_active_);
}

}  // namespace trasslo
