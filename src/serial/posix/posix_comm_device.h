#pragma once

#include "serial/comm_device.h"
#include "serial/posix/byte_queue.h"
#include "serial/posix/modem_watcher.h"
#include "serial/posix/receive_filter.h"
#include "serial/posix/unique_fd.h"

#include <condition_variable>
#include <cstdint>
#include <linux/serial.h>
#include <mutex>
#include <vector>

namespace lantorvix::posix {

// The serial device on termios, behaving like the Windows driver as the port sees it.
//
// The tty is opened non-blocking and exclusively (flock LOCK_EX|LOCK_NB, which also binds
// root, plus TIOCEXCL). Bytes move from the tty into an own receive queue whenever a waiting
// thread sees them arrive or a caller asks for the queue state, so the queue count, the 80 %
// mark, the event character and the line errors are all known. The queue holds at most the
// input size given to SetupQueues; while it is full the tty is left alone, so the kernel's
// buffer and the line's flow control hold back the rest instead of losing it.
//
// Nothing polls on a timer: WaitForEvents sleeps in poll() on the tty, the stop signal and a
// wake-up eventfd; a blocking read sleeps the same way with the deadline its time-outs give;
// modem-line changes come from a TIOCMIWAIT thread (ModemWatcher).
//
// Thread-safety: as CommDevice says. One mutex guards all state; no system call that can
// block is made while holding it.
class PosixCommDevice final : public CommDevice {
public:
    PosixCommDevice();
    ~PosixCommDevice() override;

    bool Open(const std::string& portName) override;
    bool IsOpen() const override;
    void Close() override;
    bool SetupQueues(std::uint32_t inputSize, std::uint32_t outputSize) override;
    bool SetState(const Dcb& dcb) override;
    bool SetTimeouts(const CommTimeouts& timeouts) override;
    bool SetEventMask(std::uint32_t mask) override;
    std::unique_ptr<StopSignal> CreateStopSignal() override;
    EventWaitResult WaitForEvents(StopSignal& stop) override;
    bool Purge(std::uint32_t flags) override;
    bool ClearErrors(std::uint32_t& errors, ComStat& stat) override;
    bool ModemStatus(std::uint32_t& status) override;
    std::unique_ptr<DeviceTransfer> CreateTransfer() override;
    ReadStart BeginRead(DeviceTransfer& transfer, void* buffer, std::uint32_t count) override;
    bool AwaitTransfer(DeviceTransfer& transfer, std::uint32_t& bytes) override;
    std::uint32_t LastError() const override;
    void SetCurrentThreadPriority(int level) override;

private:
    class Sleeper;

    // All *Locked members expect mutex_ held.
    void FillLocked(int wokenBy);
    std::size_t PopLocked(std::uint8_t* out, std::size_t count);
    void NotifySleepersLocked(int except);
    void RaiseLocked(std::uint32_t events);
    struct CounterChanges {
        LineConditionHint hint;
        bool overrun = false;
    };
    CounterChanges CountersLocked();
    bool DsrOffLocked() const;
    void UpdateModemWatch();

    mutable std::mutex mutex_;
    std::condition_variable idle_;
    UniqueFd tty_;
    bool gone_ = false; // the tty hung up or failed; reads drain the queue, waits end
    int goneErrno_ = 0;
    ByteQueue queue_;
    ReceiveFilter filter_;
    std::vector<std::uint8_t> decoded_;
    bool dsrSensitive_ = false;
    bool above80_ = false;
    std::uint32_t mask_ = 0;
    std::uint32_t history_ = 0;     // masked events not yet reported by a wait
    std::uint64_t maskChanges_ = 0; // a mask change ends a running wait with no events
    std::uint32_t errors_ = 0;      // CE_* flags not yet fetched by ClearErrors
    CommTimeouts timeouts_{};
    std::uint64_t aborts_ = 0;  // Purge(RXABORT) and Close fail the reads started before
    std::vector<int> sleepers_; // wake-up fds of the threads sleeping in poll
    int busy_ = 0;              // waits and reads running; Close waits for them to leave
    bool counters_ = false;
    serial_icounter_struct lastCount_{};
    WakeFd waitWake_; // the event thread's
    std::mutex watchMutex_;
    ModemWatcher modem_;
};

} // namespace lantorvix::posix
