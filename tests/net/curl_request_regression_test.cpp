// Response inputs found by fuzzing the request layer, kept as regression cases.
#include <gtest/gtest.h>

#include <string>

#include "net/curl_request.h"
#include "net/http_client.h"
#include "support/http_test_server.h"

namespace trasslo {
namespace {

using support::Connection;
using support::HttpTestServer;
using support::RecordedRequest;

// The library passes a leniently read status line with a long run of digits through; the status
// was read from all of them, so it came out far beyond any status code, and a run of twenty
// digits overflowed. It is read from the first three digits now.
TEST(CurlRequestRegression, LongDigitRunInTheStatusLineGivesAThreeDigitStatus) {
    set_request_deadline_cap(3000);
    for (const std::string digits : {"32222222222222", "3222222222222222222222222222"}) {
        // No length: the body ends where the server closes.
        const std::string reply = "HTTP/.1 " + digits + " x\r\nX: y\r\n\r\nbody";
        HttpTestServer server([&](Connection& c, const RecordedRequest&) {
            c.send(reply);
            c.close();
        });
        HttpRequest request;
        request.url = server.url("/");
        const HttpResponse response = perform_request(request);
        ASSERT_TRUE(response.ok()) << digits;
        EXPECT_EQ(response.status, 322) << digits;
        EXPECT_EQ(std::string(response.body.begin(), response.body.end()), "body");

        HttpClient client;
        client.initialise();
        client.open("GET", server.url("/"));
        client.send("", {});
        EXPECT_EQ(client.status(), 322) << digits;
    }
    set_request_deadline_cap(0);
}

}  // namespace
}  // namespace trasslo
