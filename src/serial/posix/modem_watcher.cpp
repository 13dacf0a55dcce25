#include "serial/posix/modem_watcher.h"

#include "serial/comm_device.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <linux/serial.h>
#include <pthread.h>
#include <sys/ioctl.h>

namespace lantorvix::posix {

namespace {

// Interrupts TIOCMIWAIT: delivered to the watcher thread only, with a handler that does
// nothing and without SA_RESTART, so the ioctl returns EINTR.
int WakeSignal()
{
    static const int signal = [] {
        const int number = SIGRTMAX - 3;
        struct sigaction action {};
        action.sa_handler = [](int) {};
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        sigaction(number, &action, nullptr);
        return number;
    }();
    return signal;
}

struct LineState {
    bool counters = false;
    serial_icounter_struct count{};
    int lines = 0;
};

LineState ReadLines(int fd)
{
    LineState state;
    state.counters = ioctl(fd, TIOCGICOUNT, &state.count) == 0;
    if (ioctl(fd, TIOCMGET, &state.lines) != 0) {
        state.lines = 0;
    }
    return state;
}

std::uint32_t Changes(const LineState& before, const LineState& after)
{
    std::uint32_t events = 0;
    if (before.counters && after.counters) {
        events |= after.count.cts != before.count.cts ? ev::CTS : 0;
        events |= after.count.dsr != before.count.dsr ? ev::DSR : 0;
        events |= after.count.dcd != before.count.dcd ? ev::RLSD : 0;
        events |= after.count.rng != before.count.rng ? ev::RING : 0;
        return events;
    }
    const int changed = before.lines ^ after.lines;
    events |= (changed & TIOCM_CTS) != 0 ? ev::CTS : 0;
    events |= (changed & TIOCM_DSR) != 0 ? ev::DSR : 0;
    events |= (changed & TIOCM_CD) != 0 ? ev::RLSD : 0;
    events |= (changed & TIOCM_RNG) != 0 ? ev::RING : 0;
    return events;
}

} // namespace

void ModemWatcher::Start(int fd, Callback callback)
{
    if (thread_.joinable()) {
        return;
    }
    WakeSignal();
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = false;
        finished_ = false;
        callback_ = std::move(callback);
    }
    thread_ = std::thread([this, fd] { Run(fd); });
}

void ModemWatcher::Stop()
{
    if (!thread_.joinable()) {
        return;
    }
    std::unique_lock lock(mutex_);
    stopRequested_ = true;
    // The signal can land just before the thread enters the ioctl; repeat until it has ended.
    while (!finished_) {
        pthread_kill(thread_.native_handle(), WakeSignal());
        ended_.wait_for(lock, std::chrono::milliseconds(20), [&] { return finished_; });
    }
    lock.unlock();
    thread_.join();
}

int ModemWatcher::WaitForLineChange(int fd)
{
    return ioctl(fd, TIOCMIWAIT, TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_RNG);
}

void ModemWatcher::Run(int fd)
{
    LineState before = ReadLines(fd);
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (stopRequested_) {
                break;
            }
        }
        const int result = wait_(fd);
        if (result != 0 && errno != EINTR) {
            break; // no modem lines, or the device is gone
        }
        const LineState after = ReadLines(fd);
        const std::uint32_t events = Changes(before, after);
        before = after;
        if (events != 0) {
            callback_(events);
        }
    }
    std::lock_guard lock(mutex_);
    finished_ = true;
    ended_.notify_all();
}

} // namespace lantorvix::posix
