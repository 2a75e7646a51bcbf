// A program run as a child process for the command-line tests: its standard input fed from a
// string, its standard output and error collected, signals sent to it, its end awaited. Every
// wait has a generous limit so that a hanging child fails the test instead of hanging it.
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
    // Starts `program` with `args` in `working_folder`. Standard input gets `input` and is then
    // closed, unless `keep_input_open`. With `error_on_terminal`, standard error is a
    // pseudo-terminal instead of a pipe (what it shows is collected all the same).
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                 const std::filesystem::path& working_folder, std::string input = {},
                 bool keep_input_open = false, bool error_on_terminal = false);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads output until `ready(out, err)` holds; false when the child ended or the limit
    // passed first.
    bool wait_until(
        const std::function<bool(const std::string& out, const std::string& err)>& ready,
        std::chrono::milliseconds limit = std::chrono::seconds(60));
    void send_signal(int signal_number);
    // Reads the rest of the output and reaps the child. Returns its exit status, or minus the
    // signal that killed it (so 130 means the program itself chose 130). A child still running
    // after `limit` is killed, and the result is -SIGKILL.
    int wait(std::chrono::milliseconds limit = std::chrono::seconds(60));

    const std::string& out() const { return out_; }
    const std::string& err() const { return err_; }

  private:
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

// The whole life of a child in one call.
struct ChildResult {
    int status = 0;  // as ChildProcess::wait
    std::string out;
    std::string err;
};
ChildResult run_child(const std::filesystem::path& program, const std::vector<std::string>& args,
                      const std::filesystem::path& working_folder, std::string input = {});

}  // namespace trasslo::support
