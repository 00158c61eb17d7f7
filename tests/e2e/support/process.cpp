#include "tests/e2e/support/process.h"

#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace e2e {

Process::~Process()
{
    stop();
}

Process::Process(Process&& other) noexcept : pid_(other.pid_), exit_code_(other.exit_code_)
{
    other.pid_ = -1;
}

Process& Process::operator=(Process&& other) noexcept
{
    if (this != &other) {
        stop();
        pid_ = other.pid_;
        exit_code_ = other.exit_code_;
        other.pid_ = -1;
    }
    return *this;
}

bool Process::start(const std::vector<std::string>& argv, const std::string& workdir,
                    const std::string& output_file, int input_fd)
{
    stop();
    exit_code_ = -1;
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    // A pipe closed by exec tells the parent whether exec worked.
    int status_pipe[2];
    if (pipe2(status_pipe, O_CLOEXEC) != 0)
        return false;
    pid_t child = fork();
    if (child < 0) {
        close(status_pipe[0]);
        close(status_pipe[1]);
        return false;
    }
    if (child == 0) {
        close(status_pipe[0]);
        if (!workdir.empty() && chdir(workdir.c_str()) != 0)
            _exit(127);
        if (!output_file.empty()) {
            int fd = open(output_file.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            if (fd >= 0) {
                dup2(fd, 1);
                dup2(fd, 2);
                close(fd);
            }
        }
        int input = input_fd >= 0 ? input_fd : open("/dev/null", O_RDONLY);
        if (input >= 0) {
            dup2(input, 0);
            if (input != input_fd)
                close(input);
        }
        execv(args[0], args.data());
        char failed = 1;
        (void)!write(status_pipe[1], &failed, 1);
        _exit(127);
    }
    close(status_pipe[1]);
    char failed = 0;
    ssize_t n;
    do {
        n = read(status_pipe[0], &failed, 1);
    } while (n < 0 && errno == EINTR);
    close(status_pipe[0]);
    pid_ = child;
    if (n == 1) {
        reap(true);
        return false;
    }
    return true;
}

bool Process::reap(bool block)
{
    if (pid_ <= 0)
        return true;
    int status = 0;
    pid_t r = waitpid(pid_, &status, block ? 0 : WNOHANG);
    if (r == 0)
        return false;
    if (r == pid_)
        exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    pid_ = -1;
    return true;
}

bool Process::running()
{
    return pid_ > 0 && !reap(false);
}

bool Process::wait_exit(int timeout_ms)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (running()) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void Process::stop(int grace_ms)
{
    if (!running())
        return;
    kill(pid_, SIGTERM);
    if (wait_exit(grace_ms))
        return;
    kill(pid_, SIGKILL);
    reap(true);
}

void Process::kill_now()
{
    if (!running())
        return;
    kill(pid_, SIGKILL);
    reap(true);
}

} // namespace e2e
