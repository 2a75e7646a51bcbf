#include "base/wall_clock.h"

#include <chrono>

namespace trasslo {

std::int64_t unix_ms_now() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace trasslo
