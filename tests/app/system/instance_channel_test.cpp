#include "app/system/posix/instance_channel.h"

#include "store/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace lantorvix {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kName = "QV_LantorvixMutex";
constexpr uid_t kOtherUser = 65534; // nobody

class InstanceChannelTest : public testing::Test {
protected:
    InstanceChannelTest()
    {
        fs::create_directories(runtime);
        fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    }

    // Runs body in a child process while this one serves the listener; the child's exit code.
    int InChild(InstanceListener& listener, const std::function<int()>& body)
    {
        const pid_t child = fork();
        if (child == 0) {
            _exit(body());
        }
        int status = -1;
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (waitpid(child, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < deadline) {
            pollfd p{listener.Fd(), POLLIN, 0};
            if (poll(&p, 1, 50) > 0) {
                listener.Serve([&] {
                    ++shown;
                    return true;
                });
            }
        }
        EXPECT_TRUE(WIFEXITED(status)) << "the child did not end";
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // A process of another user that connects to the socket itself: 0 when it got the
    // "shown" answer, 1 when it was hung up on, 2 when it could not connect.
    int Intruder()
    {
        if (setresuid(kOtherUser, kOtherUser, kOtherUser) != 0) {
            return 3;
        }
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socket.c_str(), sizeof(address.sun_path) - 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
            return 2;
        }
        char answer[16] = {};
        return recv(fd, answer, sizeof(answer) - 1, 0) > 0 && std::strcmp(answer, "shown\n") == 0 ? 0 : 1;
    }

    test::TempDir dir;
    const fs::path runtime = dir.Path() / "run";
    const fs::path socket = runtime / (std::string(kName) + ".sock");
    int shown = 0;
};

TEST_F(InstanceChannelTest, ASocketLeftByAKilledCopyIsReplaced)
{
    const pid_t killed = fork();
    if (killed == 0) {
        const auto listener = InstanceListener::Open(runtime, kName);
        _exit(listener ? 0 : 1); // no clean-up, as when the copy is killed
    }
    int status = -1;
    waitpid(killed, &status, 0);
    ASSERT_EQ(status, 0);
    ASSERT_TRUE(fs::is_socket(socket));
    EXPECT_FALSE(AskRunningCopyToShow(runtime, kName, 5s)) << "nobody listens there";

    auto listener = InstanceListener::Open(runtime, kName);
    ASSERT_TRUE(listener);
    EXPECT_EQ(InChild(*listener, [&] { return AskRunningCopyToShow(runtime, kName, 5s) ? 0 : 1; }), 0);
    EXPECT_EQ(shown, 1);
}

// Another user must never get our window shown: besides the private folder, the uid check
// hangs up on them when the folder and socket have been opened up.
TEST_F(InstanceChannelTest, AnotherUserIsHungUpOn)
{
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as another user";
    }
    auto listener = InstanceListener::Open(runtime, kName);
    ASSERT_TRUE(listener);
    fs::permissions(runtime, fs::perms::all, fs::perm_options::replace);
    fs::permissions(socket, fs::perms::all, fs::perm_options::replace);
    EXPECT_EQ(InChild(*listener, [&] { return Intruder(); }), 1);
    EXPECT_EQ(shown, 0);
}

// A shared runtime folder (the temp-dir fallback) gets a folder of the user's own, which
// is never used once others may enter it.
TEST_F(InstanceChannelTest, ASharedRuntimeFolderGetsAPrivateOne)
{
    fs::permissions(runtime, fs::perms::all | fs::perms::sticky_bit, fs::perm_options::replace);
    const fs::path own = runtime / ("lantorvix-" + std::to_string(geteuid()));
    {
        auto listener = InstanceListener::Open(runtime, kName);
        ASSERT_TRUE(listener);
        EXPECT_EQ(fs::status(own).permissions(), fs::perms::owner_all);
        EXPECT_TRUE(fs::is_socket(own / (std::string(kName) + ".sock")));
        EXPECT_EQ(InChild(*listener, [&] { return AskRunningCopyToShow(runtime, kName, 5s) ? 0 : 1; }), 0);
    }
    fs::permissions(own, fs::perms::all, fs::perm_options::replace);
    EXPECT_FALSE(InstanceListener::Open(runtime, kName)) << "a folder others may enter";
}

// With every descriptor in use a waiting caller cannot be taken in; it must not stay queued,
// or the listener stays readable and the event loop spins on it.
TEST_F(InstanceChannelTest, OutOfDescriptorsTheListenerDoesNotStayReadable)
{
    const auto listener = InstanceListener::Open(runtime, kName);
    ASSERT_TRUE(listener);
    const int caller = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket.c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(connect(caller, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    const rlimit low{256, limit.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    std::vector<int> filler;
    for (int fd = ::dup(0); fd >= 0; fd = ::dup(0)) {
        filler.push_back(fd);
    }
    const int error = errno;
    listener->Serve([] { return true; });
    pollfd p{listener->Fd(), POLLIN, 0};
    const int readable = poll(&p, 1, 0);
    for (const int fd : filler) {
        ::close(fd);
    }
    setrlimit(RLIMIT_NOFILE, &limit);
    ASSERT_EQ(error, EMFILE);
    EXPECT_EQ(readable, 0) << "the caller is still queued";
    char answer[16];
    EXPECT_EQ(recv(caller, answer, sizeof answer, 0), 0) << "the caller was not hung up on";
    ::close(caller);
}

} // namespace
} // namespace lantorvix
