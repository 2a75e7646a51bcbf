// Whether a process id names a living process: the journal and its visit logs use it to tell a
// dead writer's leftovers from a living one's.
#pragma once

#include <cstdint>

namespace trasslo {

// True when a process with this id exists, also one this process may not signal. Ids that no
// process can have (zero, negative, beyond pid_t) exist nowhere.
bool process_exists(std::int64_t pid);

}  // namespace trasslo
