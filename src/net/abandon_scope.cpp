#include "net/abandon_scope.h"

namespace trasslo {
namespace {

// The innermost scope of this thread; each scope links to the one around it.
thread_local AbandonScope* innermost = nullptr;

}  // namespace

AbandonScope::AbandonScope(const bool& stop) : stop_(&stop), outer_(innermost) {
    innermost = this;
}

AbandonScope::AbandonScope(const std::atomic<bool>& stop) : shared_stop_(&stop), outer_(innermost) {
    innermost = this;
}

AbandonScope::~AbandonScope() {
    innermost = outer_;
}

bool abandon_requested() {
    bool requested = false;
    for (AbandonScope* scope = innermost; scope != nullptr; scope = scope->outer_) {
        if (scope->asked()) {
            scope->abandoned_ = true;
            requested = true;
        }
    }
    return requested;
}

}  // namespace trasslo
