// The wall-clock time the journal and the engine check stamp their records with.
#pragma once

#include <cstdint>

namespace trasslo {

// Now, in milliseconds since the Unix epoch.
std::int64_t unix_ms_now();

}  // namespace trasslo
