#include "base/process_exists.h"

#include <signal.h>
#include <sys/types.h>

#include <cerrno>
#include <limits>

namespace trasslo {

bool process_exists(std::int64_t pid) {
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max()) return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

}  // namespace trasslo
