// A small HTTP server on 127.0.0.1 for the icon tests. Sites are told apart by the Host header
// (names under ".localhost" reach the loopback), each path of each host answers with a fixed
// body, and every request is recorded. A route may be held: its answer waits until released,
// which lets a test catch a download in the middle of a request.
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace trasslo::testing {

class IconTestServer {
  public:
    IconTestServer();
    ~IconTestServer();
    IconTestServer(const IconTestServer&) = delete;
    IconTestServer& operator=(const IconTestServer&) = delete;

    int port() const { return port_; }
    // "host:port", as it appears in addresses and the Host header.
    std::string authority(const std::string& host) const;

    // Answers GET `path` on `host` (no port) with status 200 and `body`; unknown routes get 404
    // with an empty body.
    void serve(const std::string& host, const std::string& path, const std::string& body);
    // Like serve, but the answer waits until release() or the server ends.
    void serve_held(const std::string& host, const std::string& path, const std::string& body);
    void release();

    // Requests seen so far, each "host path" with the port dropped from the host.
    std::vector<std::string> requests() const;
    // Waits until at least `count` requests have arrived; false when `bound` ran out first.
    bool wait_for_requests(std::size_t count, std::chrono::milliseconds bound) const;

  private:
    struct Route {
        std::string body;
        bool held = false;
    };
    void run();
    void answer(int connection);

    int listener_ = -1;
    int port_ = 0;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::map<std::string, Route> routes_;
    std::vector<std::string> requests_;
    bool released_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace trasslo::testing
