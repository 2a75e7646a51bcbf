// The Retry-After header of a 429 or 503 answer: how long the site asks to be left alone.
#pragma once

#include <ctime>
#include <optional>
#include <string_view>

namespace trasslo {

// The seconds the first Retry-After line of a raw header block asks for: delay-seconds as they
// stand, an HTTP date as the seconds from `now` to it (0 when it has passed), either clamped to
// 999999999, so that a caller may multiply it safely. Nothing when there is no such line or its
// value is neither.
//   "Retry-After: 120" -> 120   "Retry-After: Wed, 21 Oct 2015 07:28:00 GMT" -> that date - now
std::optional<long long> retry_after_seconds(std::string_view raw_headers, std::time_t now);

}  // namespace trasslo
