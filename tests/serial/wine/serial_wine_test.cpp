// Native driver of the Wine test: a pseudo-terminal stands in for the serial line, COMn is
// mapped onto it in the Wine prefix, and the Windows build of the port receives a burst.
#include "support/pty_pair.h"
#include "support/wait_until.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace lantorvix {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A child process whose stdout (and stderr) the test reads, killed if still running at the end.
class Child {
public:
    Child(const std::vector<std::string>& args, const std::vector<std::string>& extraEnvironment)
    {
        std::vector<char*> envp;
        for (const std::string& e : extraEnvironment) {
            envp.push_back(const_cast<char*>(e.c_str()));
        }
        for (char** e = environ; *e != nullptr; ++e) {
            envp.push_back(*e);
        }
        envp.push_back(nullptr);
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, out[1], 2);
        std::vector<char*> argv;
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        const int error = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        out_ = out[0];
        if (error != 0) {
            ::close(out_);
            throw std::runtime_error("posix_spawn " + args[0] + ": " + std::to_string(error));
        }
    }
    ~Child()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
        ::close(out_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Reads output until it holds a whole line with marker, the stream ends or the bound passes.
    bool ReadUntil(const std::string& marker, std::chrono::milliseconds bound)
    {
        const auto deadline = Clock::now() + bound;
        const auto found = [&] {
            const auto at = output.find(marker);
            return at != std::string::npos && output.find('\n', at) != std::string::npos;
        };
        while (!found()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                return false;
            }
            pollfd fd{out_, POLLIN, 0};
            if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
                continue;
            }
            char buffer[1024];
            const ssize_t n = ::read(out_, buffer, sizeof buffer);
            if (n <= 0) {
                return found();
            }
            output.append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    }

    // Waits for the process to end; its exit code, or -1 when killed or still running.
    int Exit(std::chrono::milliseconds bound)
    {
        int status = 0;
        const bool ended = test::WaitUntil([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, bound);
        if (!ended) {
            return -1;
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string output;

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

class WinePort : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (std::getenv("LANTORVIX_WINEPREFIX") == nullptr) {
            ::setenv("LANTORVIX_WINEPREFIX", LANTORVIX_DEFAULT_WINEPREFIX, 1);
        }
    }
};

TEST_F(WinePort, ComPortMappedOntoAPseudoTerminalReceivesABurstUnderThreadSync)
{
    test::PtyPair pty;
    const std::string port = "COM7";
    ASSERT_EQ(
        std::system((std::string(LANTORVIX_WINE_COM_PORT) + " " + port + " " + pty.SlavePath()).c_str()), 0);

    const std::size_t size = 32 * 1024;
    // Without the shim Wine ends every wait on a pseudo-terminal at once (its TIOCMGET
    // fails there), and the event thread would issue wait after wait.
    std::string preload = "LD_PRELOAD=" LANTORVIX_TIOCMGET_SHIM;
    if (const char* existing = std::getenv("LD_PRELOAD"); existing != nullptr && *existing != '\0') {
        preload += ":" + std::string(existing);
    }
    Child probe({LANTORVIX_RUN_UNDER_WINE, LANTORVIX_WINE_PROBE, port, std::to_string(size)}, {preload});
    ASSERT_TRUE(probe.ReadUntil("READY", 180s)) << probe.output;
    pty.Write(test::TestPattern(size), 60s);
    EXPECT_TRUE(probe.ReadUntil("INTACT", 120s)) << probe.output;
    const int code = probe.Exit(60s);
    EXPECT_NE(probe.output.find("RECEIVED " + std::to_string(size)), std::string::npos) << probe.output;
    EXPECT_NE(probe.output.find("INTACT yes"), std::string::npos) << probe.output;
    EXPECT_EQ(code, 0) << probe.output;
    RecordProperty("probe_output", probe.output);
}

TEST_F(WinePort, PortThatDoesNotExistFailsToOpenWithFileNotFound)
{
    Child probe({LANTORVIX_RUN_UNDER_WINE, LANTORVIX_WINE_PROBE, "COM39", "1"}, {});
    EXPECT_TRUE(probe.ReadUntil("OPEN FAILED", 180s)) << probe.output;
    EXPECT_NE(probe.output.find("Unable to open com port (win error code: 2)"), std::string::npos)
        << probe.output;
    EXPECT_EQ(probe.Exit(60s), 2) << probe.output;
}

} // namespace
} // namespace lantorvix
