// Sequential fetch_title visits against a local nginx page, against a bare libcurl loop making
// the same GETs with a fresh easy handle each, in the same run. Prints both rates and their
// ratio (goal: fetch_title makes at least 0.8 of the bare loop's requests a second), for plain
// http (the client path), for http with a window pump installed, and for https (page_request).
//
//   bench_http [visits per turn]
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "bare_curl_baseline.h"
#include "base/event_pump.h"
#include "net/fetch_title.h"
#include "support/nginx_server.h"
#include "text/url_encode.h"

namespace trasslo {
namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

int fetch_loop(const std::string& address_template, int visits) {
    int titled = 0;
    for (int i = 0; i < visits; ++i) {
        const LocalText keyword = local("关键词") + std::to_string(i);
        if (fetch_title(address_template, keyword, 0) == "bench page") ++titled;
    }
    return titled;
}

struct Comparison {
    double ours = 0;  // requests a second
    double bare = 0;
    bool complete = true;
};

// Turns of both loops, alternating, so that the busy moments of a shared machine fall on both
// alike; the rates come from the summed times.
Comparison compare(const std::string& address_template, int visits, const std::string& ca_file,
                   const std::function<void()>& pump) {
    std::vector<std::string> addresses;
    for (int i = 0; i < visits; ++i)
        addresses.push_back(
            fill_template(address_template, local("关键词") + std::to_string(i), false));
    constexpr int turns = 8;
    double ours_seconds = 0, bare_seconds = 0;
    Comparison result;
    for (int turn = 0; turn < turns; ++turn) {
        Clock::time_point start = Clock::now();
        result.complete &= bench::bare_curl_loop(addresses, ca_file) == visits;
        bare_seconds += seconds_since(start);

        install_event_pump(pump);
        start = Clock::now();
        result.complete &= fetch_loop(address_template, visits) == visits;
        ours_seconds += seconds_since(start);
        install_event_pump({});
    }
    result.ours = visits * turns / ours_seconds;
    result.bare = visits * turns / bare_seconds;
    return result;
}

void print(const char* what, const Comparison& c, bool with_goal) {
    std::printf("%-28s fetch_title %7.0f/s  bare libcurl %7.0f/s  ratio %.2f%s%s\n", what, c.ours,
                c.bare, c.ours / c.bare, with_goal ? "  (goal >= 0.8)" : "",
                c.complete ? "" : "  INCOMPLETE");
}

int bench_main(int argc, char** argv) {
    const int visits = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    support::NginxServer nginx;
    if (!bench::serve_bench_page(nginx)) return 1;
    const std::string ca = nginx.ca_file().string();
    setenv("SSL_CERT_FILE", ca.c_str(), 1);

    std::printf("sequential visits of a local nginx page, %d per turn\n", visits);
    const Comparison plain = compare(nginx.url("/s.html?q={*}"), visits, "", {});
    print("http (request client)", plain, true);
    // A window's pump costs about a microsecond; here it does nothing, so what shows is the
    // cost of being asked.
    long pumps = 0;
    const Comparison pumped =
        compare(nginx.url("/s.html?q={*}"), visits, "", [&pumps] { ++pumps; });
    print("http, pump installed", pumped, false);
    std::printf("%-28s %ld pump calls\n", "", pumps);
    const Comparison secure =
        compare(nginx.https_url("/s.html?q={*}"), std::max(1, visits / 5), ca, {});
    print("https (page_request)", secure, false);
    curl_global_cleanup();
    return plain.complete && pumped.complete && secure.complete ? 0 : 1;
}

}  // namespace
}  // namespace trasslo

int main(int argc, char** argv) {
    return trasslo::bench_main(argc, argv);
}
