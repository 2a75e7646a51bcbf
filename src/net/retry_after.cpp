#include "net/retry_after.h"

#include <curl/curl.h>

#include <string>

#include "text/local_text.h"

namespace trasslo {

std::optional<long long> retry_after_seconds(std::string_view raw_headers, std::time_t now) {
    for (const LocalText& line : split_text(raw_headers, "\r\n")) {
        const size_t colon = line.find(':');
        if (colon == LocalText::npos) continue;
        if (ascii_lower(trim(std::string_view(line).substr(0, colon))) != "retry-after") continue;
        const LocalText value = trim(std::string_view(line).substr(colon + 1));
        if (value.empty()) return std::nullopt;
        if (value.find_first_not_of("0123456789") == LocalText::npos) {
            // Any count past a day is as good as "too long"; the digits need not fit.
            return value.size() > 9 ? 999999999LL : std::stoll(value);
        }
        // HTTP dates in all three of their forms, as curl reads cookie expiry dates.
        const std::time_t when = curl_getdate(value.c_str(), nullptr);
        if (when < 0) return std::nullopt;
        return when > now ? static_cast<long long>(when - now) : 0LL;
    }
    return std::nullopt;
}

}  // namespace trasslo
