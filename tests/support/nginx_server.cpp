#include "support/nginx_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/http_test_server.h"

namespace trasslo::support {
namespace {

namespace fs = std::filesystem;

bool accepts(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

// Runs a program with arguments; true when it exits with 0.
bool run(const std::vector<std::string>& args, const fs::path& folder) {
    return run_child(args.front(), std::vector<std::string>(args.begin() + 1, args.end()), folder)
               .status == 0;
}

void make_readable(const fs::path& p) {
    ::chmod(p.c_str(), fs::is_directory(p) ? 0755 : 0644);
}

}  // namespace

std::string nginx_binary() {
    for (const char* candidate : {"/usr/sbin/nginx", "/usr/local/sbin/nginx", "/usr/bin/nginx"})
        if (::access(candidate, X_OK) == 0) return candidate;
    return {};
}

bool NginxServer::available() {
    return !nginx_binary().empty();
}

NginxServer::NginxServer() {
    // The workers run as an unprivileged user: the folder and the served files must be
    // readable (and the folder passable) by others.
    make_readable(dir_.path());
    fs::create_directories(root());
    make_readable(root());
}

NginxServer::~NginxServer() {
    stop();
}

fs::path NginxServer::root() const {
    return dir_.path() / "www";
}
fs::path NginxServer::ca_file() const {
    return dir_.path() / "ca.pem";
}

void NginxServer::put_file(std::string_view relative, std::string_view bytes) const {
    const fs::path file = root() / fs::path(relative).relative_path();
    fs::create_directories(file.parent_path());
    for (fs::path p = file.parent_path(); p != root() && p.has_relative_path(); p = p.parent_path())
        make_readable(p);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    make_readable(file);
}

std::string NginxServer::url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::string NginxServer::https_url(std::string_view path) const {
    return "https://127.0.0.1:" + std::to_string(https_port_) + std::string(path);
}

bool NginxServer::make_certificates() {
    const fs::path d = dir_.path();
    auto p = [&](const char* name) { return (d / name).string(); };
    {
        std::ofstream ext(d / "server.ext");
        ext << "subjectAltName=IP:127.0.0.1,DNS:localhost\n"
               "basicConstraints=CA:FALSE\n"
               "keyUsage=digitalSignature,keyEncipherment\n"
               "extendedKeyUsage=serverAuth\n";
    }
    const bool ok =
        run({"openssl",
             "req",
             "-x509",
             "-newkey",
             "ec",
             "-pkeyopt",
             "ec_paramgen_curve:P-256",
             "-nodes",
             "-keyout",
             p("ca.key"),
             "-out",
             p("ca.pem"),
             "-days",
             "2",
             "-subj",
             "/CN=Trasslo Test CA",
             "-addext",
             "basicConstraints=critical,CA:TRUE",
             "-addext",
             "keyUsage=critical,keyCertSign,cRLSign"},
            d) &&
        run({"openssl", "req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
             "-keyout", p("server.key"), "-out", p("server.csr"), "-subj", "/CN=127.0.0.1"},
            d) &&
        run({"openssl", "x509", "-req", "-in", p("server.csr"), "-CA", p("ca.pem"), "-CAkey",
             p("ca.key"), "-CAcreateserial", "-out", p("server.pem"), "-days", "2", "-extfile",
             p("server.ext")},
            d);
    if (!ok) error_ = "openssl could not make the test certificates";
    return ok;
}

bool NginxServer::write_config() {
    const std::string d = dir_.path().string();
    for (const char* sub : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
        fs::create_directories(dir_.path() / "temp" / sub);
    std::ofstream conf(dir_.path() / "nginx.conf");
    conf << "daemon off;\n"
            "worker_processes 1;\n"
            "pid "
         << d << "/nginx.pid;\n"
         << "error_log " << d << "/error.log warn;\n"
         << "events { worker_connections 512; }\n"
            "http {\n"
            "  access_log off;\n"
            "  default_type text/html;\n"
            "  keepalive_requests 100000;\n"
            "  client_body_temp_path "
         << d << "/temp/client_body;\n"
         << "  proxy_temp_path " << d << "/temp/proxy;\n"
         << "  fastcgi_temp_path " << d << "/temp/fastcgi;\n"
         << "  uwsgi_temp_path " << d << "/temp/uwsgi;\n"
         << "  scgi_temp_path " << d << "/temp/scgi;\n"
         << "  server {\n"
            "    listen 127.0.0.1:"
         << port_ << ";\n"
         << "    root " << root().string() << ";\n"
         << "  }\n"
            "  server {\n"
            "    listen 127.0.0.1:"
         << https_port_ << " ssl;\n"
         << "    ssl_certificate " << d << "/server.pem;\n"
         << "    ssl_certificate_key " << d << "/server.key;\n"
         << "    root " << root().string() << ";\n"
         << "  }\n"
            "}\n";
    return static_cast<bool>(conf);
}

bool NginxServer::start() {
    if (nginx_) return true;
    const std::string binary = nginx_binary();
    if (binary.empty()) {
        error_ = "nginx is not installed";
        return false;
    }
    if (!make_certificates()) return false;
    for (int attempt = 0; attempt < 5; ++attempt) {
        port_ = unused_loopback_port();
        https_port_ = unused_loopback_port();
        if (port_ == https_port_ || !write_config()) continue;
        const std::string d = dir_.path().string();
        nginx_ = std::make_unique<ChildProcess>(
            binary,
            std::vector<std::string>{"-p", d, "-e", d + "/error.log", "-c", d + "/nginx.conf"},
            dir_.path());
        // Ready when both ports accept; gone when the process ended (a port taken meanwhile).
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < give_up && nginx_->running()) {
            if (accepts(port_) && accepts(https_port_)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        stop();
    }
    error_ = "nginx did not start; see its error.log";
    return false;
}

void NginxServer::stop() {
    if (!nginx_) return;
    nginx_->send_signal(SIGTERM);
    nginx_->wait();
    nginx_.reset();
}

}  // namespace trasslo::support
