#include "child_process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace lantorvix::test {

ChildProcess::ChildProcess(Options options)
{
    int in[2] = {-1, -1};
    int out[2] = {-1, -1};
    if ((options.pipeStdin && ::pipe2(in, O_CLOEXEC) != 0) ||
        (options.captureStdout && ::pipe2(out, O_CLOEXEC) != 0)) {
        throw std::runtime_error("pipe failed");
    }
    std::vector<std::string> envStrings;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        if (options.env.count(name) == 0) {
            envStrings.push_back(entry);
        }
    }
    for (const auto& [name, value] : options.env) {
        envStrings.push_back(name + "=" + value);
    }
    std::vector<char*> argv;
    for (auto& a : options.argv) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& e : envStrings) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);

    pid_ = ::fork();
    if (pid_ < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid_ == 0) {
        if (in[0] >= 0) {
            ::dup2(in[0], 0);
        } else {
            const int null = ::open("/dev/null", O_RDONLY);
            ::dup2(null, 0);
        }
        if (out[1] >= 0) {
            ::dup2(out[1], 1);
        }
        if (!options.workingDirectory.empty() && ::chdir(options.workingDirectory.c_str()) != 0) {
            ::_exit(126);
        }
        ::setpgid(0, 0);
        ::execvpe(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    if (in[0] >= 0) {
        ::close(in[0]);
        stdin_ = in[1];
    }
    if (out[1] >= 0) {
        ::close(out[1]);
        stdout_ = out[0];
    }
}

ChildProcess::~ChildProcess()
{
    if (Running()) {
        Terminate();
        if (Wait(std::chrono::seconds(5)) == -1 && Running()) {
            ::kill(pid_, SIGKILL);
            Wait(std::chrono::seconds(5));
        }
    }
    if (stdin_ >= 0) {
        ::close(stdin_);
    }
    if (stdout_ >= 0) {
        ::close(stdout_);
    }
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds bound)
{
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        if (const auto nl = pending_.find('\n'); nl != std::string::npos) {
            std::string line = pending_.substr(0, nl);
            pending_.erase(0, nl + 1);
            lines_.push_back(line);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (stdout_ < 0 || left.count() <= 0) {
            return std::nullopt;
        }
        pollfd p{stdout_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t n = ::read(stdout_, buffer, sizeof buffer);
        if (n <= 0) {
            return std::nullopt;
        }
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
}

void ChildProcess::Write(const std::string& text)
{
    std::size_t done = 0;
    while (stdin_ >= 0 && done < text.size()) {
        const ssize_t n = ::write(stdin_, text.data() + done, text.size() - done);
        if (n < 0 && errno != EINTR) {
            throw std::runtime_error("write to child failed");
        }
        done += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
}

void ChildProcess::CloseStdin()
{
    if (stdin_ >= 0) {
        ::close(stdin_);
        stdin_ = -1;
    }
}

int ChildProcess::Wait(std::chrono::milliseconds bound)
{
    const auto deadline = std::chrono::steady_clock::now() + bound;
    auto pause = std::chrono::milliseconds(1);
    while (!status_) {
        int status = 0;
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            status_ = status;
            break;
        }
        if (r < 0 || std::chrono::steady_clock::now() >= deadline) {
            return -1;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
    return WIFEXITED(*status_) ? WEXITSTATUS(*status_) : -1;
}

bool ChildProcess::Running()
{
    if (status_ || pid_ <= 0) {
        return false;
    }
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = status;
        return false;
    }
    return true;
}

void ChildProcess::Terminate()
{
    if (Running()) {
        ::kill(pid_, SIGTERM);
    }
}

} // namespace lantorvix::test
