#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

namespace lantorvix::test {

// A private Xvfb server on a free display for one test (or one test suite). Start-up is
// awaited through -displayfd, not by sleeping; the destructor kills the server and reaps it.
// Not copyable; use from one thread.
class XvfbServer {
public:
    struct Options {
        std::string screen = "1024x768x24";
        std::string layout = "us"; // set with setxkbmap once the server runs; empty: leave alone
        std::string variant;
        int startSeconds = 20; // bound for the server to come up
    };

    XvfbServer();
    explicit XvfbServer(Options options);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // ":<n>", the value for DISPLAY.
    const std::string& Display() const { return display_; }
    // Runs setxkbmap on this display and reads the server's keymap name back; throws
    // std::runtime_error when it fails or the server does not have the layout afterwards.
    void SetLayout(const std::string& layout, const std::string& variant = {}) const;
    // The server's XKB symbols name, e.g. "pc+us+ru:2+inet(evdev)".
    std::string SymbolsName() const;
    // Locks the keyboard group (0-based) and checks that the server took it; throws
    // std::runtime_error otherwise.
    void LockGroup(int group) const;
    // Sets DISPLAY in this process's environment to this server.
    void ExportDisplay() const;

private:
    pid_t pid_ = -1;
    std::string display_;
};

// Runs a program (argv[0] looked up in PATH) and returns its exit status, -1 when it could
// not be run or was killed. Waits at most `seconds` and kills it after that.
int RunProgram(const std::vector<std::string>& argv, int seconds = 30);

} // namespace lantorvix::test
