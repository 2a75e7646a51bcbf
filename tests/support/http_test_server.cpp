#include "support/http_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace trasslo::support {
namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string_view trim_view(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// Calls `f(name, value)` for every header line of a request head.
template <typename F>
void for_each_header(const std::string& head, F f) {
    size_t pos = head.find("\r\n");
    while (pos != std::string::npos) {
        size_t start = pos + 2;
        size_t end = head.find("\r\n", start);
        if (end == std::string::npos || end == start) break;
        std::string_view line(head.data() + start, end - start);
        size_t colon = line.find(':');
        if (colon != std::string_view::npos)
            f(line.substr(0, colon), trim_view(line.substr(colon + 1)));
        pos = end;
    }
}

}  // namespace

std::string RecordedRequest::header_block() const {
    size_t first = head.find("\r\n");
    if (first == std::string::npos) return {};
    std::string block = head.substr(first + 2);
    if (block.ends_with("\r\n")) block.resize(block.size() - 2);  // the empty line
    return block;
}

std::optional<std::string> RecordedRequest::header(std::string_view name) const {
    std::optional<std::string> found;
    const std::string wanted = lower(name);
    for_each_header(head, [&](std::string_view n, std::string_view v) {
        if (!found && lower(n) == wanted) found = std::string(v);
    });
    return found;
}

int RecordedRequest::header_count(std::string_view name) const {
    int count = 0;
    const std::string wanted = lower(name);
    for_each_header(head, [&](std::string_view n, std::string_view) {
        if (lower(n) == wanted) ++count;
    });
    return count;
}

Connection::~Connection() {
    close();
}

bool Connection::wait_readable(int timeout_ms) {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, timeout_ms) > 0;
}

std::optional<RecordedRequest> Connection::read_request() {
    if (fd_ < 0) return std::nullopt;
    char buffer[8192];
    auto fill = [&]() -> bool {
        while (!stopping_) {
            if (!wait_readable(50)) continue;
            ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) return false;
            pending_.append(buffer, static_cast<size_t>(n));
            return true;
        }
        return false;
    };
    size_t head_end;
    while ((head_end = pending_.find("\r\n\r\n")) == std::string::npos)
        if (!fill()) return std::nullopt;
    RecordedRequest request;
    request.head = pending_.substr(0, head_end + 4);
    size_t length = 0;
    if (auto value = request.header("Content-Length")) length = std::stoul(*value);
    while (pending_.size() < head_end + 4 + length)
        if (!fill()) return std::nullopt;
    request.body = pending_.substr(head_end + 4, length);
    request.raw = request.head + request.body;
    pending_.erase(0, head_end + 4 + length);
    const size_t sp1 = request.head.find(' ');
    const size_t sp2 = request.head.find(' ', sp1 + 1);
    request.method = request.head.substr(0, sp1);
    request.target = request.head.substr(sp1 + 1, sp2 - sp1 - 1);
    return request;
}

bool Connection::send(std::string_view bytes) {
    while (!bytes.empty()) {
        if (fd_ < 0 || stopping_) return false;
        ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool Connection::drip(std::string_view bytes, std::chrono::milliseconds gap) {
    for (char c : bytes) {
        if (!send(std::string_view(&c, 1))) return false;
        // Waits the gap, ending early when the client closes (readable with nothing to read).
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(gap.count())) > 0) {
            char probe;
            if (::recv(fd_, &probe, 1, MSG_PEEK | MSG_DONTWAIT) <= 0) return false;
        }
    }
    return true;
}

void Connection::send_forever(std::string_view chunk) {
    while (send(chunk)) {
    }
}

void Connection::hold() {
    char probe[256];
    while (fd_ >= 0 && !stopping_) {
        if (!wait_readable(50)) continue;
        if (::recv(fd_, probe, sizeof probe, 0) <= 0) return;
    }
}

bool Connection::hold_for(std::chrono::milliseconds time) {
    const auto end = std::chrono::steady_clock::now() + time;
    char probe[256];
    while (fd_ >= 0 && !stopping_ && std::chrono::steady_clock::now() < end) {
        if (!wait_readable(20)) continue;
        if (::recv(fd_, probe, sizeof probe, MSG_PEEK | MSG_DONTWAIT) <= 0) return false;
        ::recv(fd_, probe, sizeof probe, 0);
    }
    return fd_ >= 0 && !stopping_;
}

void Connection::reset() {
    if (fd_ < 0) return;
    linger l{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::close(fd_);
    fd_ = -1;
}

void Connection::close() {
    if (fd_ < 0) return;
    ::shutdown(fd_, SHUT_WR);
    ::close(fd_);
    fd_ = -1;
}

HttpTestServer::HttpTestServer(Handler handler) : handler_(std::move(handler)) {
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listen_fd_ < 0) throw std::runtime_error("socket failed");
    int one = 1;
    ::setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listen_fd_, 64) != 0)
        throw std::runtime_error("bind/listen failed");
    socklen_t len = sizeof addr;
    ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    acceptor_ = std::thread([this] { accept_loop(); });
}

HttpTestServer::~HttpTestServer() {
    stopping_ = true;
    if (acceptor_.joinable()) acceptor_.join();
    for (std::thread& t : workers_)
        if (t.joinable()) t.join();
    ::close(listen_fd_);
}

std::string HttpTestServer::url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<RecordedRequest> HttpTestServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::size_t HttpTestServer::request_count() const {
    std::lock_guard lock(mutex_);
    return requests_.size();
}

void HttpTestServer::accept_loop() {
    while (!stopping_) {
        pollfd p{listen_fd_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        int fd = ::accept(listen_fd_, nullptr, nullptr);
        if (fd < 0) continue;
        ++connections_;
        // Sends wake every 100 ms, so a worker writing to a client that no longer reads still
        // notices that the server stops.
        timeval tv{0, 100000};
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        std::lock_guard lock(mutex_);
        workers_.emplace_back([this, fd] { serve(fd); });
    }
}

void HttpTestServer::serve(int fd) {
    Connection connection(fd, stopping_);
    sockaddr_in address{};
    socklen_t length = sizeof address;
    char peer[INET_ADDRSTRLEN] = "";
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        ::inet_ntop(AF_INET, &address.sin_addr, peer, sizeof peer);
    while (auto request = connection.read_request()) {
        request->peer = peer;
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(*request);
        }
        handler_(connection, *request);
        if (connection.closed()) break;
    }
}

std::string http_reply(int status, std::string_view reason, std::string_view body,
                       const std::vector<std::string>& headers) {
    std::string reply = "HTTP/1.1 " + std::to_string(status) + " " + std::string(reason) + "\r\n";
    for (const std::string& h : headers) reply += h + "\r\n";
    reply += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    reply += body;
    return reply;
}

Handler reply_always(std::string reply) {
    return [reply = std::move(reply)](Connection& c, const RecordedRequest&) { c.send(reply); };
}

int unused_loopback_port() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

}  // namespace trasslo::support
