#include "icon_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace trasslo::testing {
namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

void send_all(int fd, const std::string& data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<std::size_t>(n);
    }
}

}  // namespace

IconTestServer::IconTestServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listener_ < 0) throw std::runtime_error("socket");
    int yes = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener_, 16) != 0) {
        ::close(listener_);
        throw std::runtime_error("bind");
    }
    socklen_t len = sizeof addr;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { run(); });
}

IconTestServer::~IconTestServer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
    ::close(listener_);
}

std::string IconTestServer::authority(const std::string& host) const {
    return host + ":" + std::to_string(port_);
}

void IconTestServer::serve(const std::string& host, const std::string& path,
                           const std::string& body) {
    std::lock_guard lock(mutex_);
    routes_[lower(host) + " " + path] = Route{body, false};
}

void IconTestServer::serve_held(const std::string& host, const std::string& path,
                                const std::string& body) {
    std::lock_guard lock(mutex_);
    routes_[lower(host) + " " + path] = Route{body, true};
}

void IconTestServer::release() {
    {
        std::lock_guard lock(mutex_);
        released_ = true;
    }
    changed_.notify_all();
}

std::vector<std::string> IconTestServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

bool IconTestServer::wait_for_requests(std::size_t count, std::chrono::milliseconds bound) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, bound, [&] { return requests_.size() >= count; });
}

void IconTestServer::run() {
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_) return;
        }
        pollfd p{listener_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        int connection = ::accept(listener_, nullptr, nullptr);
        if (connection < 0) continue;
        answer(connection);
        ::close(connection);
    }
}

void IconTestServer::answer(int connection) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        pollfd p{connection, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0) return;
        ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        head.append(buffer, static_cast<std::size_t>(n));
    }
    std::string path;
    std::size_t first_space = head.find(' ');
    std::size_t second_space = head.find(' ', first_space + 1);
    if (first_space != std::string::npos && second_space != std::string::npos) {
        path = head.substr(first_space + 1, second_space - first_space - 1);
    }
    std::string host;
    std::string lowered = lower(head);
    std::size_t at = lowered.find("\r\nhost:");
    if (at != std::string::npos) {
        std::size_t start = at + 7;
        std::size_t end = lowered.find("\r\n", start);
        host = lowered.substr(start, end - start);
        host.erase(0, host.find_first_not_of(' '));
        host = host.substr(0, host.find(':'));
    }

    Route route;
    bool found = false;
    {
        std::unique_lock lock(mutex_);
        requests_.push_back(host + " " + path);
        auto it = routes_.find(host + " " + path);
        if (it != routes_.end()) {
            route = it->second;
            found = true;
        }
        changed_.notify_all();
        if (found && route.held) {
            changed_.wait(lock, [this] { return released_ || stopping_; });
            if (stopping_ && !released_) return;
        }
    }
    std::string status = found ? "200 OK" : "404 Not Found";
    std::string body = found ? route.body : std::string();
    send_all(connection, "HTTP/1.1 " + status + "\r\nContent-Type: application/octet-stream\r\n" +
                             "Content-Length: " + std::to_string(body.size()) +
                             "\r\nConnection: close\r\n\r\n" + body);
}

}  // namespace trasslo::testing
