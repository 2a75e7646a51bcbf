#include "support/proxy_servers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

#include <fstream>
#include <thread>

#include "support/http_test_server.h"

namespace trasslo::support {
namespace {

bool accepts_connections(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

TestProxy::TestProxy(Kind kind, std::string outgoing, std::string user, std::string password)
    : kind_(kind),
      outgoing_(std::move(outgoing)),
      user_(std::move(user)),
      password_(std::move(password)) {}

TestProxy::~TestProxy() {
    if (process_ && process_->running()) {
        process_->send_signal(SIGTERM);
        process_->wait();
    }
}

bool TestProxy::start() {
    const char* program = kind_ == Kind::http ? "tinyproxy" : "microsocks";
    port_ = unused_loopback_port();
    std::vector<std::string> args;
    if (kind_ == Kind::http) {
        const auto config = dir_.path() / "tinyproxy.conf";
        std::ofstream(config) << "Port " << port_ << "\nListen 127.0.0.1\nBind " << outgoing_
                              << "\nBasicAuth " << user_ << " " << password_ << "\nPidFile \""
                              << (dir_.path() / "tinyproxy.pid").string()
                              << "\"\nLogLevel Info\nTimeout 30\nMaxClients 64\n";
        args = {"-d", "-c", config.string()};
    } else {
        args = {"-i",      "127.0.0.1", "-p",     std::to_string(port_), "-u", user_, "-P",
                password_, "-b",        outgoing_};
    }
    try {
        process_ = std::make_unique<ChildProcess>(program, args, dir_.path());
    } catch (const std::exception& e) {
        error_ = std::string(program) + " 无法启动：" + e.what();
        return false;
    }
    // Waits for the listening socket, however long a busy machine takes, within a limit.
    for (int tries = 0; tries < 600; ++tries) {
        if (accepts_connections(port_)) return true;
        if (!process_->running()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    process_->wait(std::chrono::seconds(1));
    error_ = std::string(program) + " 未能启动：" + process_->err() + process_->out();
    return false;
}

std::string TestProxy::address() const {
    return std::string(kind_ == Kind::http ? "http" : "socks5") +
           "://127.0.0.1:" + std::to_string(port_);
}

std::string TestProxy::address_with_login() const {
    return std::string(kind_ == Kind::http ? "http" : "socks5") + "://" + user_ + ":" + password_ +
           "@127.0.0.1:" + std::to_string(port_);
}

}  // namespace trasslo::support
