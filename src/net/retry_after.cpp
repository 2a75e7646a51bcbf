#include "net/retry_after.h"

#include <curl/curl.h>

#include <algorithm>
#include <string>

#include "text/local_text.h"

namespace trasslo {
namespace {

// Any wait past a day is as good as "too long": every count from a site is clamped to this
// before anyone does arithmetic with it.
constexpr long long kLongestWaitSeconds = 999999999LL;

// Without spaces and tabs at either end: header values may be set off by either.
std::string_view without_blanks(std::string_view text) {
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos) return {};
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

}  // namespace

std::optional<long long> retry_after_seconds(std::string_view raw_headers, std::time_t now) {
    for (const LocalText& line : split_text(raw_headers, "\r\n")) {
        const size_t colon = line.find(':');
        if (colon == LocalText::npos) continue;
        if (ascii_lower(trim(std::string_view(line).substr(0, colon))) != "retry-after") continue;
        const std::string value(without_blanks(std::string_view(line).substr(colon + 1)));
        if (value.empty()) return std::nullopt;
        if (value.find_first_not_of("0123456789") == LocalText::npos) {
            // The digits need not fit: leading zeros say nothing, and a long count is clamped.
            const std::string_view digits = std::string_view(value).substr(
                std::min(value.find_first_not_of('0'), value.size()));
            return digits.size() > 9 ? kLongestWaitSeconds
                                     : (digits.empty() ? 0LL : std::stoll(std::string(digits)));
        }
        // HTTP dates in all three of their forms, as curl reads cookie expiry dates; a date
        // centuries away is clamped like a long count.
        const std::time_t when = curl_getdate(value.c_str(), nullptr);
        if (when < 0) return std::nullopt;
        if (when <= now) return 0LL;
        const std::time_t ahead = when - now;
        return ahead > kLongestWaitSeconds ? kLongestWaitSeconds : static_cast<long long>(ahead);
    }
    return std::nullopt;
}

}  // namespace trasslo
