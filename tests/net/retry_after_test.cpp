#include "net/retry_after.h"

#include <gtest/gtest.h>

namespace trasslo {
namespace {

TEST(RetryAfterTest, SecondsOrAnHttpDateFromNow) {
    const std::time_t now = 1445412480;  // Wed, 21 Oct 2015 07:28:00 GMT
    const struct {
        const char* headers;
        std::optional<long long> seconds;
    } rows[] = {
        {"HTTP/1.1 429 Too Many\r\nRetry-After: 120\r\n\r\n", 120},
        {"HTTP/1.1 503 Busy\r\nretry-after:0\r\n\r\n", 0},
        {"HTTP/1.1 503 Busy\r\nRetry-After: Wed, 21 Oct 2015 07:30:00 GMT\r\n\r\n", 120},
        {"HTTP/1.1 503 Busy\r\nRetry-After: Wednesday, 21-Oct-15 07:28:30 GMT\r\n\r\n", 30},
        {"HTTP/1.1 503 Busy\r\nRetry-After: Wed Oct 21 07:29:00 2015\r\n\r\n", 60},
        {"HTTP/1.1 503 Busy\r\nRetry-After: Tue, 20 Oct 2015 07:28:00 GMT\r\n\r\n", 0},  // passed
        {"HTTP/1.1 429 Too Many\r\nRetry-After: 99999999999999999999\r\n\r\n", 999999999},
        {"HTTP/1.1 429 Too Many\r\nRetry-After: Fri, 31 Dec 2147483647 23:59:59 GMT\r\n\r\n",
         999999999},
        {"HTTP/1.1 429 Too Many\r\nRetry-After:\t120\t\r\n\r\n", 120},
        {"HTTP/1.1 429 Too Many\r\nRetry-After: 0000000120\r\n\r\n", 120},
        {"HTTP/1.1 429 Too Many\r\nRetry-After: 0000000000000\r\n\r\n", 0},
        {"HTTP/1.1 429 Too Many\r\nRetry-After: 0001000000000\r\n\r\n", 999999999},
        {"HTTP/1.1 429 Too Many\r\nRetry-After: soon\r\n\r\n", std::nullopt},
        {"HTTP/1.1 429 Too Many\r\nRetry-After: -5\r\n\r\n", std::nullopt},
        {"HTTP/1.1 429 Too Many\r\nX-Retry-After: 5\r\n\r\n", std::nullopt},
        {"HTTP/1.1 429 Too Many\r\n\r\n", std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(retry_after_seconds(row.headers, now), row.seconds) << row.headers;
}

}  // namespace
}  // namespace trasslo
