// What the command-line tests share: a temporary folder, a loopback server whose pages are titled
// after the request target, input files written in a chosen charset, and trasslo-cli run as a
// child process. Texts in the tests are UTF-8 (the terminal's charset); files are written in
// GBK unless a test says otherwise.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"
#include "text/local_text.h"

namespace trasslo::support {

// Every page is "<title>page TARGET</title>"; targets under /cn/ get a Chinese title.
inline Handler titled_pages() {
    return [](Connection& c, const RecordedRequest& request) {
        const std::string title = request.target.rfind("/cn/", 0) == 0
                                      ? "中文标题 " + request.target
                                      : "page " + request.target;
        c.send(http_reply(200, "OK", "<html><head><title>" + title + "</title></head></html>",
                          {"Content-Type: text/html; charset=utf-8"}));
    };
}

inline std::string cli_path() {
    return TRASSLO_CLI_PATH;
}

// Splits output into its lines (LF), dropping the empty rest after the last LF.
inline std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t begin = 0;
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', begin)) {
        lines.push_back(text.substr(begin, at - begin));
        begin = at + 1;
    }
    if (begin < text.size()) lines.push_back(text.substr(begin));
    return lines;
}

class CliTest : public ::testing::Test {
  protected:
    TempDir dir;
    HttpTestServer server{titled_pages()};

    // An engine line in the file's format from UTF-8 parts.
    static std::string engine_line(bool ticked, int code, const std::string& name,
                                   const std::string& address) {
        return std::string(ticked ? "真" : "假") + "|" + std::to_string(code) + "|" + name + "|" +
               address;
    }
    // Writes UTF-8 `lines` as a GBK file with CR LF after every line; returns its path.
    std::string write_gbk_lines(const std::string& name, const std::vector<std::string>& lines) {
        std::string bytes;
        for (const std::string& line : lines) bytes += local(line) + "\r\n";
        const std::filesystem::path file = dir.path() / name;
        write_file_bytes(file, bytes);
        return file.string();
    }
    std::string write_bytes(const std::string& name, const std::string& bytes) {
        const std::filesystem::path file = dir.path() / name;
        write_file_bytes(file, bytes);
        return file.string();
    }

    ChildResult cli(const std::vector<std::string>& args, std::string input = {}) {
        return run_child(cli_path(), args, dir.path(), std::move(input));
    }

    // The targets the server saw, in order.
    std::vector<std::string> targets() const {
        std::vector<std::string> out;
        for (const RecordedRequest& r : server.requests()) out.push_back(r.target);
        return out;
    }
};

}  // namespace trasslo::support
