// Web sites on the loopback told apart by their Host header, on one scripted HTTP server: names
// under ".localhost" reach 127.0.0.1, so a test has as many sites as it names. Each route (host
// and path) answers its status and body; anything else answers 404 with no body. A held host
// answers only after release(). Every request is noted as "host path".
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
    HttpTestServer server_;  // last: its handlers use the members above
};

}  // namespace trasslo::support
