#include "support/fault_server.h"

#include <chrono>
#include <string>

namespace trasslo::support {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kMiB = 1024 * 1024;

struct FaultInfo {
    Fault fault;
    const char* name;
};

constexpr FaultInfo kFaults[] = {
    {Fault::sound, "sound"},
    {Fault::close_at_once, "close-at-once"},
    {Fault::reset_at_once, "reset-at-once"},
    {Fault::reset_mid_body, "reset-mid-body"},
    {Fault::stall_before_headers, "stall-before-headers"},
    {Fault::drip, "drip"},
    {Fault::endless_body, "endless-body"},
    {Fault::huge_headers, "huge-headers"},
    {Fault::huge_header_line, "huge-header-line"},
    {Fault::redirect_loop, "redirect-loop"},
    {Fault::short_length, "short-length"},
    {Fault::long_length, "long-length"},
    {Fault::oversize_length, "oversize-length"},
    {Fault::endless_headers, "endless-headers"},
};

std::string page(Fault fault) {
    return "<html><head><title>" + fault_page_title_html(fault) + "</title></head><body>" +
           std::string(2000, 'b') + "</body></html>";
}

// The path part of a request target, without its query.
std::string path_of(const std::string& target) {
    return target.substr(0, target.find('?'));
}

void answer(Connection& c, const RecordedRequest& request) {
    const std::string path = path_of(request.target);
    Fault fault = Fault::sound;
    bool known = false;
    for (const FaultInfo& info : kFaults) {
        if (path == fault_path(info.fault)) {
            fault = info.fault;
            known = true;
        }
    }
    if (!known) {
        c.send(http_reply(404, "Not Found", ""));
        return;
    }
    const std::string body = page(fault);
    switch (fault) {
        case Fault::sound:
            c.send(http_reply(200, "OK", body, {"Content-Type: text/html"}));
            return;
        case Fault::close_at_once:
            c.close();
            return;
        case Fault::reset_at_once:
            c.reset();
            return;
        case Fault::reset_mid_body:
            c.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                   "\r\n\r\n" + body.substr(0, body.size() / 2));
            // Lets the half body leave before the reset throws away what is still queued.
            c.hold_for(50ms);
            c.reset();
            return;
        case Fault::stall_before_headers:
            c.hold();
            c.close();
            return;
        case Fault::drip:
            c.drip(http_reply(200, "OK", body), 1000ms);
            c.close();
            return;
        case Fault::endless_body:
            c.send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n" +
                   body.substr(0, body.find("<body>")));
            c.send_forever(std::string(64 * 1024, 'e'));
            c.close();
            return;
        case Fault::huge_headers: {
            std::vector<std::string> lines;
            for (std::size_t i = 0; i < kMiB / 1024; ++i)
                lines.push_back("X-Filler-" + std::to_string(i) + ": " + std::string(1000, 'h'));
            c.send(http_reply(200, "OK", body, lines));
            return;
        }
        case Fault::huge_header_line:
            c.send(http_reply(200, "OK", body, {"X-Filler: " + std::string(kMiB, 'h')}));
            return;
        case Fault::redirect_loop:
            c.send(http_reply(302, "Found", "", {"Location: " + request.target}));
            return;
        case Fault::short_length: {
            // The announced length ends right behind the title; what follows is not body.
            const std::size_t cut = body.find("</title>") + 8;
            c.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(cut) + "\r\n\r\n" + body +
                   "<title>beyond the length</title>");
            c.close();
            return;
        }
        case Fault::long_length:
            c.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size() + 5000) +
                   "\r\n\r\n" + body);
            c.close();
            return;
        case Fault::oversize_length:
            // 40 MB announced: more than a request takes, so it is refused before any waiting.
            c.send("HTTP/1.1 200 OK\r\nContent-Length: 40000000\r\n\r\n" + body);
            c.hold();
            c.close();
            return;
        case Fault::endless_headers: {
            std::string lines;
            for (int i = 0; i < 1000; ++i) lines += "X-Filler: " + std::string(100, 'f') + "\r\n";
            c.send("HTTP/1.1 200 OK\r\n");
            c.send_forever(lines);
            c.close();
            return;
        }
    }
}

}  // namespace

const std::vector<Fault>& all_faults() {
    static const std::vector<Fault> faults = [] {
        std::vector<Fault> out;
        for (const FaultInfo& info : kFaults) out.push_back(info.fault);
        return out;
    }();
    return faults;
}

const std::vector<Fault>& all_path_faults() {
    static const std::vector<Fault> faults = [] {
        std::vector<Fault> out;
        for (const FaultInfo& info : kFaults)
            if (info.fault != Fault::sound) out.push_back(info.fault);
        return out;
    }();
    return faults;
}

std::string fault_name(Fault fault) {
    for (const FaultInfo& info : kFaults)
        if (info.fault == fault) return info.name;
    return "unknown";
}

std::string fault_test_name(const ::testing::TestParamInfo<Fault>& info) {
    std::string name = fault_name(info.param);
    for (char& c : name)
        if (c == '-') c = '_';
    return name;
}

std::string fault_path(Fault fault) {
    return "/" + fault_name(fault);
}

std::string fault_page_title_html(Fault fault) {
    return "page &amp; " + fault_name(fault);
}

std::string fault_page_title(Fault fault) {
    return "page & " + fault_name(fault);
}

FaultServer::FaultServer()
    : http_(std::make_unique<HttpTestServer>(answer)), refused_port_(unused_loopback_port()) {}

std::string FaultServer::url(Fault fault) const {
    return http_->url(fault_path(fault));
}

std::string FaultServer::refused_url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(refused_port_) + std::string(path);
}

bool FaultServer::start_untrusted_tls() {
    if (tls_) return true;
    auto server = std::make_unique<NginxServer>();
    server->put_file("index.html", "<html><head><title>untrusted page</title></head></html>");
    if (!server->start()) {
        error_ = server->error();
        return false;
    }
    tls_ = std::move(server);
    return true;
}

std::string FaultServer::untrusted_url(std::string_view path) const {
    return tls_ ? tls_->https_url(path) : std::string();
}

std::size_t FaultServer::requests_for(Fault fault) const {
    std::size_t count = 0;
    for (const RecordedRequest& r : http_->requests())
        if (path_of(r.target) == fault_path(fault)) ++count;
    return count;
}

}  // namespace trasslo::support
