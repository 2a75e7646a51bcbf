// An in-process scripted HTTP server on 127.0.0.1 for tests where the exact bytes matter. It
// records every request as received and answers through a handler that works on the raw
// connection, so a test can send any bytes at any pace: a proper reply, a reset in the middle
// of the body, nothing at all, one byte at a time, a body without end, and so on. The faults
// are methods of Connection; new ones join there.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "text/local_text.h"

namespace trasslo::support {

// One request exactly as it arrived.
struct RecordedRequest {
    std::string raw;     // head and body bytes
    std::string head;    // request line and header lines, ending with the empty line
    std::string method;  // "GET"
    std::string target;  // "/a?b=1"
    std::string body;    // Content-Length bytes behind the head
    std::string peer;    // the client's address ("127.0.0.3"): which way the request came

    // The header lines between the request line and the empty line, CR LF kept.
    std::string header_block() const;
    // Value of the first header of that name (ASCII case folded), trimmed; nullopt if absent.
    std::optional<std::string> header(std::string_view name) const;
    // How many header lines carry that name.
    int header_count(std::string_view name) const;
};

// The server's end of one accepted connection; every call returns false once the client has
// gone or the server is stopping.
class Connection {
  public:
    Connection(int fd, const std::atomic<bool>& stopping) : fd_(fd), stopping_(stopping) {}
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection();

    // Reads one request (head, then a Content-Length body); nullopt when the client closed.
    std::optional<RecordedRequest> read_request();
    bool send(std::string_view bytes);
    // Sends the bytes one at a time with `gap` between them.
    bool drip(std::string_view bytes, std::chrono::milliseconds gap);
    // Sends `chunk` over and over until the client gives up.
    void send_forever(std::string_view chunk);
    // Sends nothing and keeps the connection open until the client gives up.
    void hold();
    // Sends nothing for up to `time`; false when the client gave up before that.
    bool hold_for(std::chrono::milliseconds time);
    // Ends the connection with a TCP reset instead of an orderly close.
    void reset();
    // Orderly close; the server stops reading from this connection.
    void close();
    bool closed() const { return fd_ < 0; }

  private:
    bool wait_readable(int timeout_ms);
    int fd_;
    const std::atomic<bool>& stopping_;
    std::string pending_;  // bytes read behind the last request
};

// Answers one request; the connection stays open for the next request unless the handler
// closes or resets it.
using Handler = std::function<void(Connection&, const RecordedRequest&)>;

class HttpTestServer {
  public:
    // Starts listening on 127.0.0.1 on a free port; `handler` answers every request.
    explicit HttpTestServer(Handler handler);
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by `path`.
    std::string url(std::string_view path = "/") const;
    std::vector<RecordedRequest> requests() const;
    std::size_t request_count() const;
    std::size_t connection_count() const { return connections_.load(); }

  private:
    void accept_loop();
    void serve(int fd);

    Handler handler_;
    int listen_fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<std::size_t> connections_{0};
    mutable std::mutex mutex_;
    std::vector<RecordedRequest> requests_;
    std::vector<std::thread> workers_;
    std::thread acceptor_;
};

// A complete reply with Content-Length; `headers` are extra "Name: value" lines.
std::string http_reply(int status, std::string_view reason, std::string_view body,
                       const std::vector<std::string>& headers = {});

// A handler that answers every request with the same bytes.
Handler reply_always(std::string reply);

// A loopback port on which nothing listens (taken and released at once).
int unused_loopback_port();

// The bytes of a response body as a string, for comparing with expected text.
inline std::string text(const ByteBuffer& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace trasslo::support
