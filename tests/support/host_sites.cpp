#include "support/host_sites.h"

#include <algorithm>

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

void HostSites::script(const std::string& host, std::vector<Reply> replies) {
    std::lock_guard lock(mutex_);
    scripts_[host] = std::move(replies);
}

void HostSites::delay_answers(std::chrono::milliseconds delay) {
    std::lock_guard lock(mutex_);
    delay_ = delay;
}

std::vector<HostSites::Served> HostSites::served() const {
    // A client may have its answer before the server notes that it sent it.
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, 10s, [&] { return answered_ == requests_.size(); });
    return served_;
}

int HostSites::most_open_per_host() const {
    std::lock_guard lock(mutex_);
    return most_open_per_host_;
}

int HostSites::most_open() const {
    std::lock_guard lock(mutex_);
    return most_open_;
}

void HostSites::answer(Connection& connection, const RecordedRequest& request) {
    const auto start = std::chrono::steady_clock::now();
    std::string host = request.header("Host").value_or("");
    host = host.substr(0, host.find(':'));
    const std::string key = host + " " + request.target;
    Reply reply{404};
    std::chrono::milliseconds delay;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(key);
        if (auto it = routes_.find(key); it != routes_.end())
            reply = Reply{it->second.status, it->second.headers, it->second.body};
        if (auto it = scripts_.find(host); it != scripts_.end() && !it->second.empty()) {
            reply = it->second.front();
            it->second.erase(it->second.begin());
        }
        delay = delay_;
        most_open_per_host_ = std::max(most_open_per_host_, ++open_[host]);
        most_open_ = std::max(most_open_, ++open_total_);
    }
    arrived_.notify_all();
    bool gone = delay.count() > 0 && !connection.hold_for(delay);
    while (!gone && is_held(host)) gone = !connection.hold_for(20ms);
    if (!gone && reply.stall) connection.hold();
    // Closed, and timed, as the answer goes out: a client that has its answer may start its
    // next request before this thread runs again, which is neither an overlap nor a short gap.
    const auto end = std::chrono::steady_clock::now();
    {
        std::lock_guard lock(mutex_);
        --open_[host];
        --open_total_;
    }
    if (!gone && !reply.stall)
        connection.send(http_reply(reply.status, reply.status == 200 ? "OK" : "Status", reply.body,
                                   reply.headers));
    {
        std::lock_guard lock(mutex_);
        served_.push_back({host, request.target, start, end});
        ++answered_;
    }
    arrived_.notify_all();
}

}  // namespace trasslo::support
