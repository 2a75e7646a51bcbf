// A child process for tests: a program (the command line, a script, nginx, openssl) or a
// function of the test run in a forked copy of the test process. Its standard input is fed from
// a string, its standard output and error are collected, signals are sent to it, its end is
// awaited. Every wait has a generous limit so that a hanging child fails the test instead of
// hanging it.
//
//   ChildResult r = run_child("openssl", {"rehash", folder}, folder);
//   ChildProcess saver([&] { save_forever(folder); });  // killed with send_signal(SIGKILL)
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace trasslo::support {

class ChildProcess {
  public:
    // Starts `program` with `args` in `working_folder`; a program name without a slash is
    // looked up in PATH. Standard input gets `input` and is then closed, unless
    // `keep_input_open`. With `error_on_terminal`, standard error is a pseudo-terminal instead of
    // a pipe (what it shows is collected all the same).
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                 const std::filesystem::path& working_folder, std::string input = {},
                 bool keep_input_open = false, bool error_on_terminal = false);
    // Runs `body` in a forked copy of this process, which exits with 0 when it returns. The copy
    // has the calling thread alone: the body must need no other thread of the test.
    explicit ChildProcess(const std::function<void()>& body);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads output until `ready(out, err)` holds; false when the child ended or the limit
    // passed first.
    bool wait_until(
        const std::function<bool(const std::string& out, const std::string& err)>& ready,
        std::chrono::milliseconds limit = std::chrono::seconds(60));
    void send_signal(int signal_number);
    // True while the child has not ended; reaps it once it has (wait() then gives its status).
    bool running();
    // Reads the rest of the output and reaps the child. Returns its exit status, or minus the
    // signal that killed it (so 130 means the program itself chose 130). A child still running
    // after `limit` is killed, and the result is -SIGKILL.
    int wait(std::chrono::milliseconds limit = std::chrono::seconds(60));

    const std::string& out() const { return out_; }
    const std::string& err() const { return err_; }

  private:
    // Makes the pipes and forks; in the child, connects them and calls `exec`, which must not
    // return.
    void start(const std::function<void()>& exec, const std::filesystem::path& working_folder,
               bool error_on_terminal);
    // One round of poll over the open pipes; false when both are closed or nothing came in
    // `timeout_ms`.
    bool pump(int timeout_ms);

    pid_t pid_ = -1;
    int out_fd_ = -1;
    int err_fd_ = -1;
    int in_fd_ = -1;
    std::string input_;
    std::size_t input_sent_ = 0;
    bool keep_input_open_ = false;
    std::string out_;
    std::string err_;
    int status_ = 0;
    bool reaped_ = false;
};

// The whole life of a child in one call; a child still running after `limit` is killed.
struct ChildResult {
    int status = 0;  // as ChildProcess::wait
    std::string out;
    std::string err;
};
ChildResult run_child(const std::filesystem::path& program, const std::vector<std::string>& args,
                      const std::filesystem::path& working_folder, std::string input = {},
                      std::chrono::milliseconds limit = std::chrono::seconds(60));

}  // namespace trasslo::support
