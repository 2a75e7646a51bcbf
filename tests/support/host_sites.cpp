#include "support/host_sites.h"

namespace trasslo::support {

using namespace std::chrono_literals;

HostSites::HostSites()
    : server_([this](Connection& connection, const RecordedRequest& request) {
          answer(connection, request);
      }) {}

void HostSites::serve(const std::string& host, const std::string& path, const std::string& body,
                      int status, const std::vector<std::string>& headers) {
    std::lock_guard lock(mutex_);
    routes_[host + " " + path] = {status, body, headers};
}

void HostSites::hold(const std::string& host) {
    std::lock_guard lock(mutex_);
    held_.insert(host);
}

void HostSites::release() {
    std::lock_guard lock(mutex_);
    held_.clear();
}

std::vector<std::string> HostSites::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

bool HostSites::wait_for_requests(std::size_t count, std::chrono::milliseconds bound) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, bound, [&] { return requests_.size() >= count; });
}

std::string HostSites::authority(const std::string& host) const {
    return host + ":" + std::to_string(server_.port());
}

std::string HostSites::url(const std::string& host, const std::string& path) const {
    return "http://" + authority(host) + path;
}

bool HostSites::is_held(const std::string& host) const {
    std::lock_guard lock(mutex_);
    return held_.count(host) > 0;
}

void HostSites::answer(Connection& connection, const RecordedRequest& request) {
    std::string host = request.header("Host").value_or("");
    host = host.substr(0, host.find(':'));
    const std::string key = host + " " + request.target;
    Route route{404, "", {}};
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(key);
        if (auto it = routes_.find(key); it != routes_.end()) route = it->second;
    }
    arrived_.notify_all();
    while (is_held(host)) {
        if (!connection.hold_for(20ms)) return;
    }
    connection.send(
        http_reply(route.status, route.status == 200 ? "OK" : "Status", route.body, route.headers));
}

}  // namespace trasslo::support
