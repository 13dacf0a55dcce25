#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace lantorvix::test {

// A program started for a test, with extra environment, a working directory, its standard
// input as a pipe and its standard output read line by line. Killed and reaped when
// destroyed. One thread.
class ChildProcess {
public:
    struct Options {
        std::vector<std::string> argv;
        std::map<std::string, std::string> env; // added to (or replacing in) the test's own
        std::string workingDirectory;
        bool pipeStdin = false;
        bool captureStdout = true;
    };

    explicit ChildProcess(Options options);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return pid_; }
    // The next line of standard output, waiting at most bound; nothing at the bound or EOF.
    std::optional<std::string> ReadLine(std::chrono::milliseconds bound = std::chrono::seconds(10));
    // Every line read so far.
    const std::vector<std::string>& Lines() const { return lines_; }
    void Write(const std::string& text);
    void CloseStdin();
    // Waits for the process to end; its exit status, or -1 when a signal ended it or it is
    // still running at the bound.
    int Wait(std::chrono::milliseconds bound = std::chrono::seconds(10));
    bool Running();
    void Terminate();

private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
    std::string pending_;
    std::vector<std::string> lines_;
    std::optional<int> status_;
};

} // namespace lantorvix::test
