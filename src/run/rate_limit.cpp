#include "run/rate_limit.h"

#include <algorithm>

namespace trasslo {

bool asks_to_slow_down(long status) {
    return status == 429 || status == 503;
}

std::optional<std::chrono::milliseconds> RateLimitWaits::next_wait(
    const RateLimitSettings& settings, std::optional<long long> retry_after_seconds,
    long interval_ms) {
    if (retry_after_seconds) {
        // Compared before it is multiplied: the count comes from the site.
        if (*retry_after_seconds > settings.retry_after_cap_ms / 1000 || retry_after_retries_ >= 1)
            return std::nullopt;
        ++retry_after_retries_;
        return std::chrono::seconds(*retry_after_seconds);
    }
    if (backoff_retries_ >= settings.backoff_retries) return std::nullopt;
    long long wait = std::max<long long>(interval_ms, settings.backoff_floor_ms);
    for (int i = 0; i < backoff_retries_ && wait < settings.backoff_cap_ms; ++i) wait *= 2;
    ++backoff_retries_;
    return std::chrono::milliseconds(std::min<long long>(wait, settings.backoff_cap_ms));
}

}  // namespace trasslo
