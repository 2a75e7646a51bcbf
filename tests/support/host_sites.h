// Web sites on the loopback told apart by their Host header, on one scripted HTTP server: names
// under ".localhost" reach 127.0.0.1, so a test has as many sites as it names. Each route (host
// and path) answers its status and body; anything else answers 404 with no body. A held host
// answers only after release(). Every request is noted as "host path", and with its times, so
// that tests see how many requests a host had open at once and the gaps between them. A host
// can be scripted to answer its next requests with 429 or 503 (with or without Retry-After) or
// to stall, and every answer can be delayed.
//
//   HostSites sites;
//   sites.serve("s.example.localhost", "/favicon.ico", icon);
//   sites.hold("s.example.localhost");
//   fetch(sites.url("s.example.localhost", "/s?q=1"));  // waits for sites.release()
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "support/http_test_server.h"

namespace trasslo::support {

class HostSites {
  public:
    HostSites();
    HostSites(const HostSites&) = delete;
    HostSites& operator=(const HostSites&) = delete;

    // Answers `path` (the whole request target) at `host` with `status`, `body` and the extra
    // header lines `headers` ("Location: /").
    void serve(const std::string& host, const std::string& path, const std::string& body,
               int status = 200, const std::vector<std::string>& headers = {});
    // Requests to `host` wait, whatever their path, until release().
    void hold(const std::string& host);
    // Lets every held request go, and holds nothing from now on.
    void release();

    // Every request so far, in order of arrival, as "host path".
    std::vector<std::string> requests() const;
    // Waits until `count` requests have arrived; false when `bound` passed first.
    bool wait_for_requests(std::size_t count,
                           std::chrono::milliseconds bound = std::chrono::seconds(60)) const;

    int port() const { return server_.port(); }
    // "host:port", as addresses and icon file names carry it.
    std::string authority(const std::string& host) const;
    // "http://host:port" followed by `path`.
    std::string url(const std::string& host, const std::string& path) const;

    // One scripted answer; `stall` sends nothing until the client gives up.
    struct Reply {
        int status = 200;
        std::vector<std::string> headers{};  // "Name: value" lines
        std::string body{};
        bool stall = false;
    };
    // The next requests to `host`, whatever their path, get these answers in order; then the
    // routes answer again.
    void script(const std::string& host, std::vector<Reply> replies);
    // Every answer waits this long before it is sent.
    void delay_answers(std::chrono::milliseconds delay);

    // A request from its arrival to the moment its answer went out; served() waits for the
    // answers still open.
    struct Served {
        std::string host;
        std::string target;
        std::chrono::steady_clock::time_point start;
        std::chrono::steady_clock::time_point end;
    };
    std::vector<Served> served() const;
    // The most requests any one Host header had open at the same moment.
    int most_open_per_host() const;
    // The most requests open at the same moment, all hosts together.
    int most_open() const;

  private:
    struct Route {
        int status = 200;
        std::string body;
        std::vector<std::string> headers;
    };
    void answer(Connection& connection, const RecordedRequest& request);
    bool is_held(const std::string& host) const;

    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::map<std::string, Route> routes_;  // by "host path"
    std::set<std::string> held_;
    std::vector<std::string> requests_;
    std::map<std::string, std::vector<Reply>> scripts_;  // by host, next answer first
    std::chrono::milliseconds delay_{0};
    std::vector<Served> served_;
    std::map<std::string, int> open_;  // by host
    int open_total_ = 0;
    std::size_t answered_ = 0;
    int most_open_per_host_ = 0;
    int most_open_ = 0;
    HttpTestServer server_;  // last: its handlers use the members above
};

}  // namespace trasslo::support
