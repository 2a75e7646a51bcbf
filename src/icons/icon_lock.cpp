#include "icons/icon_lock.h"

namespace trasslo {

std::timed_mutex& icon_lock() {
    // Never destroyed: a worker let go of at shut-down may still hold it while the process ends.
    static auto* lock = new std::timed_mutex;
    return *lock;
}

}  // namespace trasslo
