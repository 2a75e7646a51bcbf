#include "run/format_duration.h"

#include <cmath>
#include <cstdio>

namespace trasslo {
namespace {

// A limit counts as reached a hair below it, so that values such as 59.99999999 seconds that
// come out of the divisions still move on to the next unit.
bool reached(double value, double limit) {
    return value - limit >= -0.0000001;
}

// Two decimals, halves away from zero; the nudge keeps 1.005-like values from falling short.
double round_two_decimals(double value) {
    const double scaled = value * 100.0;
    double whole = std::trunc(scaled);
    const double fraction = std::fabs(scaled - whole) + 0.000000000001;
    if (fraction >= 0.5) whole += (scaled < 0 ? -1.0 : 1.0);
    return whole / 100.0;
}

}  // namespace

LocalText format_duration(std::int64_t milliseconds) {
    struct Step {
        double divisor;  // applied before comparing with the limit
        double limit;    // the value must stay below it for the unit to hold
        const char* unit;
    };
    static const Step steps[] = {
        {1000, 60, " 秒"}, {60, 60, " 分"}, {60, 24, " 时"}, {24, 30, " 天"}, {30, 12, " 月"},
    };
    double value = static_cast<double>(milliseconds);
    const char* unit = " 毫秒";
    if (reached(value, 1000)) {
        unit = " 年";
        bool found = false;
        for (const Step& step : steps) {
            value /= step.divisor;
            if (!reached(value, step.limit)) {
                unit = step.unit;
                found = true;
                break;
            }
        }
        if (!found) value /= 12;
    }
    char number[64];
    std::snprintf(number, sizeof number, "%.13g", round_two_decimals(value));
    return LocalText(number) + local(unit);
}

}  // namespace trasslo
