// The icon lock: one process-wide lock that makes icon download workers run one after the
// other, each holding it for its whole pass.
#pragma once

#include <mutex>

namespace trasslo {

// The lock itself; timed so that a worker told to stop can give up waiting for it.
std::timed_mutex& icon_lock();

// Creates the lock, for the window's start-up; it also comes into being at first use.
inline void create_icon_lock() {
    icon_lock();
}

}  // namespace trasslo
