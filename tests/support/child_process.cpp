#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace trasslo::support {
namespace {

void close_fd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

ChildProcess::ChildProcess(const std::filesystem::path& program,
                           const std::vector<std::string>& args,
                           const std::filesystem::path& working_folder, std::string input,
                           bool keep_input_open, bool error_on_terminal)
    : input_(std::move(input)), keep_input_open_(keep_input_open) {
    std::vector<std::string> argv_storage;
    argv_storage.push_back(program.string());
    argv_storage.insert(argv_storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argv_storage) argv.push_back(a.data());
    argv.push_back(nullptr);
    start([&argv] { ::execvp(argv[0], argv.data()); }, working_folder, error_on_terminal);
}

ChildProcess::ChildProcess(const std::function<void()>& body) {
    start(
        [&body] {
            body();
            ::_exit(0);
        },
        {}, false);
}

void ChildProcess::start(const std::function<void()>& exec,
                         const std::filesystem::path& working_folder, bool error_on_terminal) {
    // A child that exits without reading its input must not kill the test with SIGPIPE.
    ::signal(SIGPIPE, SIG_IGN);
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    if (error_on_terminal) {
        // err[0] is the terminal's master side, err[1] the side the child writes to.
        termios raw{};
        ::cfmakeraw(&raw);
        if (::openpty(&err[0], &err[1], nullptr, &raw, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        ::fcntl(err[0], F_SETFD, FD_CLOEXEC);
        ::fcntl(err[1], F_SETFD, FD_CLOEXEC);
    } else if (::pipe2(err, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const std::string folder = working_folder.string();

    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        // Default signal handling for the child, whatever the test runner set.
        ::signal(SIGPIPE, SIG_DFL);
        ::signal(SIGINT, SIG_DFL);
        ::signal(SIGTERM, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        if (!folder.empty() && ::chdir(folder.c_str()) != 0) ::_exit(126);
        exec();
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    in_fd_ = in[1];
    out_fd_ = out[0];
    err_fd_ = err[0];
    ::fcntl(in_fd_, F_SETFL, O_NONBLOCK);
    if (input_.empty() && !keep_input_open_) close_fd(in_fd_);
}

ChildProcess::~ChildProcess() {
    if (!reaped_ && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status_, 0);
    }
    close_fd(in_fd_);
    close_fd(out_fd_);
    close_fd(err_fd_);
}

bool ChildProcess::pump(int timeout_ms) {
    pollfd fds[3];
    int n = 0;
    if (out_fd_ >= 0) fds[n++] = {out_fd_, POLLIN, 0};
    if (err_fd_ >= 0) fds[n++] = {err_fd_, POLLIN, 0};
    const bool feeding = in_fd_ >= 0 && input_sent_ < input_.size();
    if (feeding) fds[n++] = {in_fd_, POLLOUT, 0};
    if (n == 0) return false;
    const int ready = ::poll(fds, static_cast<nfds_t>(n), timeout_ms);
    if (ready < 0) return errno == EINTR;
    if (ready == 0) return false;
    for (int i = 0; i < n; ++i) {
        if (fds[i].revents == 0) continue;
        if (fds[i].fd == in_fd_) {
            const ssize_t sent =
                ::write(in_fd_, input_.data() + input_sent_, input_.size() - input_sent_);
            if (sent > 0) input_sent_ += static_cast<std::size_t>(sent);
            if (sent < 0 && errno != EAGAIN) close_fd(in_fd_);
            if (in_fd_ >= 0 && input_sent_ == input_.size() && !keep_input_open_) close_fd(in_fd_);
            continue;
        }
        char buffer[65536];
        const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
        std::string& sink = fds[i].fd == out_fd_ ? out_ : err_;
        if (got > 0) {
            sink.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            close_fd(fds[i].fd == out_fd_ ? out_fd_ : err_fd_);
        }
    }
    return true;
}

bool ChildProcess::wait_until(
    const std::function<bool(const std::string&, const std::string&)>& ready,
    std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!ready(out_, err_)) {
        if (out_fd_ < 0 && err_fd_ < 0) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pump(static_cast<int>(std::min<long long>(left.count(), 100)));
    }
    return true;
}

void ChildProcess::send_signal(int signal_number) {
    if (!reaped_ && pid_ > 0) ::kill(pid_, signal_number);
}

bool ChildProcess::running() {
    if (reaped_ || pid_ <= 0) return false;
    if (::waitpid(pid_, &status_, WNOHANG) != pid_) return true;
    reaped_ = true;
    return false;
}

int ChildProcess::wait(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while ((out_fd_ >= 0 || err_fd_ >= 0) && std::chrono::steady_clock::now() < deadline) pump(100);
    if (!reaped_) {
        if (out_fd_ >= 0 || err_fd_ >= 0) ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status_, 0);
        reaped_ = true;
    }
    close_fd(in_fd_);
    close_fd(out_fd_);
    close_fd(err_fd_);
    if (WIFEXITED(status_)) return WEXITSTATUS(status_);
    if (WIFSIGNALED(status_)) return -WTERMSIG(status_);
    return -1000;
}

ChildResult run_child(const std::filesystem::path& program, const std::vector<std::string>& args,
                      const std::filesystem::path& working_folder, std::string input,
                      std::chrono::milliseconds limit) {
    ChildProcess child(program, args, working_folder, std::move(input));
    ChildResult result;
    result.status = child.wait(limit);
    result.out = child.out();
    result.err = child.err();
    return result;
}

}  // namespace trasslo::support
