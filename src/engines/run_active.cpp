#include "engines/run_active.h"

#include <atomic>

namespace trasslo {
namespace {

std::atomic<bool> active{false};

}  // namespace

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
