// A real web server for tests and benchmarks: nginx started in the foreground on free loopback
// ports, with its configuration, logs, pid file and temporary folders in a folder of its own,
// serving a folder readable by others over http and, with a certificate issued at start-up by
// a throw-away test CA, over https. Stopped by its PID when the object goes.
//
// Tests use it as
//   NginxServer nginx;
//   if (!nginx.start()) GTEST_SKIP() << nginx.error();
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace trasslo::support {

class NginxServer {
  public:
    NginxServer();
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    // True when an nginx binary is installed.
    static bool available();

    // Writes the certificates and the configuration and starts nginx; true once both ports
    // accept connections. On false, error() says why.
    bool start();
    void stop();
    const std::string& error() const { return error_; }

    // The served folder; put pages here (before or after start).
    std::filesystem::path root() const;
    // Writes `bytes` to `relative` under the served folder, readable by the server's workers.
    void put_file(std::string_view relative, std::string_view bytes) const;

    int port() const { return port_; }
    int https_port() const { return https_port_; }
    std::string url(std::string_view path = "/") const;        // http://127.0.0.1:port/path
    std::string https_url(std::string_view path = "/") const;  // https://127.0.0.1:port/path
    // The test CA's certificate in PEM, to be trusted through SSL_CERT_FILE.
    std::filesystem::path ca_file() const;

  private:
    bool make_certificates();
    bool write_config();

    TempDir dir_;
    std::unique_ptr<ChildProcess> nginx_;
    int port_ = 0;
    int https_port_ = 0;
    std::string error_;
};

// The path of the nginx binary, or empty when none is installed.
std::string nginx_binary();

}  // namespace trasslo::support
