#include "support/pty_pair.h"

#include "support/process_fds.h"
#include "support/wait_until.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

// termios2: the speed as a number, as the serial device sets it.
#include <asm/termbits.h>

namespace lantorvix::test {

namespace {

int RemainingMs(std::chrono::steady_clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

[[noreturn]] void Fail(const char* what)
{
    throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

} // namespace

PtyPair::PtyPair()
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0) {
        Fail("posix_openpt");
    }
    char name[128];
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 || ::ptsname_r(master_, name, sizeof name) != 0) {
        const int error = errno;
        ::close(master_);
        errno = error;
        Fail("pseudo-terminal slave");
    }
    slavePath_ = name;
}

PtyPair::~PtyPair()
{
    CloseMaster();
}

void PtyPair::Write(std::string_view bytes, std::chrono::milliseconds bound)
{
    Write(bytes.data(), bytes.size(), bound);
}

void PtyPair::Write(const void* data, std::size_t size, std::chrono::milliseconds bound)
{
    const auto deadline = std::chrono::steady_clock::now() + bound;
    const auto* at = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(master_, at, size);
        if (written > 0) {
            at += written;
            size -= static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EINTR) {
            Fail("write on the pseudo-terminal master");
        }
        pollfd fd{master_, POLLOUT, 0};
        const int ready = ::poll(&fd, 1, RemainingMs(deadline));
        if (ready == 0) {
            throw std::runtime_error("pseudo-terminal master: the slave took no more input within the bound");
        }
    }
}

std::string PtyPair::Read(std::chrono::milliseconds quiet, std::chrono::milliseconds bound)
{
    const auto deadline = std::chrono::steady_clock::now() + bound;
    std::string got;
    for (;;) {
        pollfd fd{master_, POLLIN, 0};
        const int wait = std::min(static_cast<int>(quiet.count()), RemainingMs(deadline));
        if (::poll(&fd, 1, wait) <= 0 || (fd.revents & POLLIN) == 0) {
            return got;
        }
        char buffer[4096];
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0) {
            return got;
        }
        got.append(buffer, static_cast<std::size_t>(n));
    }
}

bool PtyPair::AwaitSlaveDrained(std::chrono::milliseconds bound) const
{
    const int fd = ::open(slavePath_.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool drained = WaitUntil(
        [fd] {
            int queued = 0;
            return ::ioctl(fd, FIONREAD, &queued) == 0 && queued == 0;
        },
        bound);
    ::close(fd);
    return drained;
}

bool PtyPair::AwaitOpenBy(int pid, unsigned baud, std::chrono::milliseconds bound) const
{
    auto holdsSlave = [&] { return ProcessHoldsOpen(pid, slavePath_); };
    // The master reads the slave's settings.
    auto configured = [&] {
        struct termios2 t {};
        return ::ioctl(master_, TCGETS2, &t) == 0 && t.c_ispeed == baud;
    };
    return WaitUntil([&] { return holdsSlave() && configured(); }, bound);
}

void PtyPair::CloseMaster()
{
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

DeviceHeldElsewhere::DeviceHeldElsewhere(const std::string& path)
{
    int ready[2];
    int release[2];
    if (::pipe2(ready, O_CLOEXEC) != 0 || ::pipe2(release, O_CLOEXEC) != 0) {
        Fail("pipe");
    }
    const pid_t child = ::fork();
    if (child < 0) {
        Fail("fork");
    }
    if (child == 0) {
        // Only async-signal-safe calls from here on.
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        char status = 'x';
        if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ::ioctl(fd, TIOCEXCL);
            status = 'k';
        }
        [[maybe_unused]] ssize_t w = ::write(ready[1], &status, 1);
        char dummy;
        ::close(release[1]);
        [[maybe_unused]] ssize_t r = ::read(release[0], &dummy, 1);
        _exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    child_ = child;
    release_ = release[1];
    char status = 0;
    const ssize_t got = ::read(ready[0], &status, 1);
    ::close(ready[0]);
    if (got != 1 || status != 'k') {
        Release();
        throw std::runtime_error("the helper process could not take " + path);
    }
}

DeviceHeldElsewhere::~DeviceHeldElsewhere()
{
    Release();
}

void DeviceHeldElsewhere::Release()
{
    if (release_ >= 0) {
        ::close(release_);
        release_ = -1;
    }
    if (child_ > 0) {
        int status = 0;
        ::waitpid(child_, &status, 0);
        child_ = -1;
    }
}

} // namespace lantorvix::test
