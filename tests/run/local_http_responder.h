// A tiny HTTP responder on 127.0.0.1 for the trace-run and command-line tests: it answers every
// GET with a small page whose title names the request target, and records the targets in the
// order they arrived. Header-only so that both test binaries can use it.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace trasslo::testing {

class LocalHttpResponder {
  public:
    LocalHttpResponder() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 64);
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~LocalHttpResponder() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        thread_.join();
        ::close(listener_);
    }
    LocalHttpResponder(const LocalHttpResponder&) = delete;
    LocalHttpResponder& operator=(const LocalHttpResponder&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by `path`.
    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    // The request targets seen so far ("/e1?q=a"), in arrival order.
    std::vector<std::string> targets() const {
        std::lock_guard lock(mutex_);
        return targets_;
    }
    // Waits until `count` requests have arrived or `limit` has passed; true when they did.
    bool wait_for(std::size_t count, std::chrono::seconds limit = std::chrono::seconds(20)) {
        std::unique_lock lock(mutex_);
        return arrived_.wait_for(lock, limit, [&] { return targets_.size() >= count; });
    }

  private:
    void serve() {
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                if (stopping_) return;
            }
            pollfd ready{listener_, POLLIN, 0};
            if (::poll(&ready, 1, 20) <= 0) continue;
            const int client = ::accept(listener_, nullptr, nullptr);
            if (client < 0) continue;
            answer(client);
            ::close(client);
        }
    }

    void answer(int client) {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            pollfd ready{client, POLLIN, 0};
            if (::poll(&ready, 1, 5000) <= 0) return;
            const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) return;
            request.append(buffer, static_cast<std::size_t>(got));
        }
        const std::size_t first_space = request.find(' ');
        const std::size_t second_space = request.find(' ', first_space + 1);
        const std::string target = request.substr(first_space + 1, second_space - first_space - 1);
        const std::string body =
            "<html><head><title>page " + target + "</title></head><body>ok</body></html>";
        const std::string response =
            "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
            std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
        // Recorded before answering, so a waiter that sees the count knows the visit reached us.
        {
            std::lock_guard lock(mutex_);
            targets_.push_back(target);
        }
        arrived_.notify_all();
        std::size_t sent = 0;
        while (sent < response.size()) {
            const ssize_t put =
                ::send(client, response.data() + sent, response.size() - sent, MSG_NOSIGNAL);
            if (put <= 0) return;
            sent += static_cast<std::size_t>(put);
        }
    }

    int listener_ = -1;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<std::string> targets_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace trasslo::testing
