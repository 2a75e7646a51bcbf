// The duration text of the trace run: the running caption and the final message show how long
// the run took in the largest fitting unit.
#pragma once

#include <cstdint>

#include "text/local_text.h"

namespace trasslo {

// Milliseconds as a value with at most two decimals and its unit (毫秒, 秒, 分, 时, 天, 月 of
// 30 days, 年), the value written with "%.13g" and the unit after a space.
//   format_duration(999) == "999 毫秒";  format_duration(1500) == "1.5 秒";
//   format_duration(5400000) == "1.5 时"
LocalText format_duration(std::int64_t milliseconds);

}  // namespace trasslo
