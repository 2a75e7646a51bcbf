// How a visit answered 429 or 503 is made again: after the wait its Retry-After asks for (capped,
// once per visit), else backed off from max(interval, a floor), doubling, a few times; then the
// visit is recorded `rate-limited`. The sequential and the parallel run wait the same way.
#pragma once

#include <chrono>
#include <optional>

#include "net/visit_outcome.h"

namespace trasslo {

// The product's values are the defaults; tests shorten the times.
struct RateLimitSettings {
    long backoff_floor_ms = 5000;      // a 429/503 without Retry-After waits max(interval, this)
    long backoff_cap_ms = 300000;      // ... doubling each time, to at most this
    int backoff_retries = 3;           // ... this many times, then `rate-limited`
    long retry_after_cap_ms = 600000;  // a longer Retry-After gives `rate-limited` at once
};

// A status with which a site asks to be left alone for a while: 429 or 503.
bool asks_to_slow_down(long status);

// The waits of one visit.
class RateLimitWaits {
  public:
    // How long to wait before the visit whose last answer came with `retry_after_seconds` (from
    // its Retry-After, when it had one) is made again; nothing when it is not made again.
    std::optional<std::chrono::milliseconds> next_wait(const RateLimitSettings& settings,
                                                       std::optional<long long> retry_after_seconds,
                                                       long interval_ms);
    // A new visit: no wait taken yet.
    void reset() { *this = RateLimitWaits(); }

  private:
    int retry_after_retries_ = 0;
    int backoff_retries_ = 0;
};

}  // namespace trasslo
