// Whole responses as a server sends them: a loopback server answers every request with the
// fuzz bytes, and the request object reads status, headers, cookies and text from whatever
// the request layer made of them.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "net/curl_request.h"
#include "net/http_client.h"
#include "net/page_request.h"
#include "text/local_text.h"

namespace {

// Answers each connection with the current response bytes once the request head has arrived,
// then closes it. Lives as long as the process.
class LoopbackServer {
  public:
    LoopbackServer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) ||
            ::listen(listener_, 16) ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length))
            std::abort();
        port_ = ntohs(address.sin_port);
        std::thread([this] { serve(); }).detach();
    }

    int port() const { return port_; }

    void set_response(std::string_view bytes) {
        std::lock_guard<std::mutex> lock(mutex_);
        response_.assign(bytes);
    }

  private:
    void serve() {
        for (;;) {
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            std::string request;
            char buffer[4096];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                request.append(buffer, static_cast<size_t>(n));
            }
            std::string response;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                response = response_;
            }
            for (size_t sent = 0; sent < response.size();) {
                const ssize_t n =
                    ::send(client, response.data() + sent, response.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) break;
                sent += static_cast<size_t>(n);
            }
            ::shutdown(client, SHUT_WR);
            // Wait for the client to close first, so that no reset cuts the response short.
            while (::recv(client, buffer, sizeof buffer, 0) > 0) {
            }
            ::close(client);
        }
    }

    int listener_ = -1;
    int port_ = 0;
    std::mutex mutex_;
    std::string response_;
};

LoopbackServer& server() {
    static LoopbackServer* instance = [] {
        trasslo::set_request_deadline_cap(3000);
        return new LoopbackServer();
    }();
    return *instance;
}

bool has_line_break(std::string_view text) {
    return text.find("\r\n") != std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view response(reinterpret_cast<const char*>(data), size);
    LoopbackServer& loopback = server();
    loopback.set_response(response);

    trasslo::HttpClient client;
    client.initialise();
    client.open("GET", "127.0.0.1:" + std::to_string(loopback.port()) + "/");
    // A fuzzed Location must never send the request anywhere but here.
    client.option(trasslo::kOptionEnableRedirects, 0L);
    client.set_timeouts(3000, 3000, 3000, 3000);
    client.send("", {});

    const long status = client.status();
    if (status < 0 || status > 999) __builtin_trap();
    if (has_line_break(client.status_text())) __builtin_trap();
    const auto all = client.get_all_response_headers();
    // Header values are single lines (in ASCII responses: elsewhere the byte before a CR can
    // be the first half of a double-byte character, which joins two lines into one).
    const bool ascii = std::none_of(data, data + size, [](std::uint8_t b) { return b >= 0x80; });
    for (const char* name : {"Content-Type", "Set-Cookie", "Location", "content-length", ""}) {
        if (ascii && has_line_break(client.get_response_header(name))) __builtin_trap();
    }
    client.response_text();
    client.response_body();
    client.cookie_value("a");
    client.cookie_value("");
    // Only Set-Cookie lines, each with its CR LF.
    const auto lines = client.response_cookie_lines();
    for (const auto& line : trasslo::split_text(lines, "\r\n"))
        if (!line.starts_with("Set-Cookie:")) __builtin_trap();
    client.response_cookies();
    trasslo::cookies_from_headers(all);
    return 0;
}
