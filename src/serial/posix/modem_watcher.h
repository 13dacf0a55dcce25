#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace lantorvix::posix {

// Reports changes of the modem input lines of a tty as EV_CTS, EV_DSR, EV_RLSD and EV_RING.
// A thread of its own sleeps in TIOCMIWAIT (which cannot share a poll with the data); a tty
// without modem lines (a pseudo-terminal) refuses that at once and the thread just ends.
//
// Thread-safety: Start and Stop are called by one thread at a time; the callback runs on the
// watcher's thread and must not call Stop. Stop returns after the thread has ended.
class ModemWatcher {
public:
    using Callback = std::function<void(std::uint32_t events)>;
    // Blocks until a modem line of fd changes: 0, or -1 with errno (EINTR when interrupted).
    using LineWait = int (*)(int fd);

    ModemWatcher() = default;
    // With another blocking wait in place of TIOCMIWAIT (tests of the interruption).
    explicit ModemWatcher(LineWait wait) : wait_(wait) {}
    ModemWatcher(const ModemWatcher&) = delete;
    ModemWatcher& operator=(const ModemWatcher&) = delete;
    ~ModemWatcher() { Stop(); }

    // Starts watching fd (not owned; must stay open until Stop). Does nothing when running.
    void Start(int fd, Callback callback);
    void Stop();
    bool Running() const { return thread_.joinable(); }

private:
    void Run(int fd);
    static int WaitForLineChange(int fd);

    std::mutex mutex_;
    std::condition_variable ended_;
    bool stopRequested_ = false;
    bool finished_ = false;
    Callback callback_;
    LineWait wait_ = &ModemWatcher::WaitForLineChange;
    std::thread thread_;
};

} // namespace lantorvix::posix
