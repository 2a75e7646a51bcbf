// A loopback web server that misbehaves on purpose, for tests of how visits survive broken
// sites. Every fault has its own path on one scripted HTTP server (anything after the path, a
// query for instance, is ignored); a sound page is served beside them. Two faults need no path:
// a refused connection (a loopback port nobody listens on) and an untrusted certificate (nginx
// with a certificate from a throw-away CA that no test ever trusts).
//
//   FaultServer faults;
//   engine.address = faults.url(Fault::drip) + "?q={*}";
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "support/http_test_server.h"
#include "support/nginx_server.h"

namespace trasslo::support {

enum class Fault {
    sound,                 // a proper page with a title
    close_at_once,         // reads the request, then closes without a byte of reply
    reset_at_once,         // reads the request, then resets the connection
    reset_mid_body,        // headers and half the announced body, then a TCP reset
    stall_before_headers,  // reads the request and never answers, holding the connection
    drip,                  // a whole reply, one byte a second
    endless_body,          // a title, then body bytes without end (no length, no chunks)
    huge_headers,          // 1 MiB of header lines (1 KiB each) before a proper page
    huge_header_line,      // one header line of 1 MiB before a proper page
    redirect_loop,         // 302 to itself, for ever
    short_length,          // Content-Length covers only the first part of what is sent
    long_length,           // Content-Length announces more than is sent, then closes
    oversize_length,       // Content-Length announces more than any body may hold, then silence
    endless_headers,       // header lines without end
};

// The whole catalogue in declaration order, the sound page first.
const std::vector<Fault>& all_faults();
// Every fault with a path, in declaration order (sound excluded).
const std::vector<Fault>& all_path_faults();

// The fault's path ("/drip") and a readable name ("drip").
std::string fault_path(Fault fault);
std::string fault_name(Fault fault);
// The name of a test case parameterised over faults: "reset_mid_body".
std::string fault_test_name(const ::testing::TestParamInfo<Fault>& info);
// How GoogleTest shows a fault in its messages: by its name.
inline void PrintTo(Fault fault, std::ostream* out) {
    *out << fault_name(fault);
}

// The title every page of the server carries in its body: "page <name>" with an entity in it,
// so that a title read back shows it was decoded.
std::string fault_page_title_html(Fault fault);  // "page &amp; drip"
std::string fault_page_title(Fault fault);       // "page & drip"

class FaultServer {
  public:
    FaultServer();
    FaultServer(const FaultServer&) = delete;
    FaultServer& operator=(const FaultServer&) = delete;

    // "http://127.0.0.1:<port>/<fault path>".
    std::string url(Fault fault) const;
    // An address on a loopback port on which nothing listens: the connection is refused.
    std::string refused_url(std::string_view path = "/") const;

    // Starts nginx with a certificate no trusted root vouches for; false (see error()) when
    // nginx cannot run here.
    bool start_untrusted_tls();
    const std::string& error() const { return error_; }
    // "https://127.0.0.1:<port><path>" on that nginx; the page there carries a title too.
    std::string untrusted_url(std::string_view path = "/") const;

    // Requests that reached the path of `fault` so far.
    std::size_t requests_for(Fault fault) const;
    std::size_t connection_count() const { return http_->connection_count(); }

  private:
    std::unique_ptr<HttpTestServer> http_;
    std::unique_ptr<NginxServer> tls_;
    int refused_port_;
    std::string error_;
};

}  // namespace trasslo::support
