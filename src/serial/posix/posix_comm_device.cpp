#include "serial/posix/posix_comm_device.h"

#include "serial/device_name.h"
#include "serial/posix/read_timeouts.h"
#include "serial/posix/tty_config.h"
#include "serial/posix/win_error.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace lantorvix::posix {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kDefaultQueue = 4096;
constexpr std::size_t kLargestQueue = std::size_t{16} << 20;
constexpr std::uint32_t kModemEvents = ev::CTS | ev::DSR | ev::RLSD | ev::RING;

thread_local std::uint32_t lastError = 0;

bool Fail(std::uint32_t code)
{
    lastError = code;
    return false;
}

bool FailErrno(int error)
{
    return Fail(static_cast<std::uint32_t>(WinErrorFromErrno(error)));
}

class FdStopSignal final : public StopSignal {
public:
    void Set() override
    {
        set_.store(true);
        fd_.Signal();
    }
    bool IsSet() const override { return set_.load(); }
    int Fd() const { return fd_.Get(); }

private:
    std::atomic<bool> set_{false};
    WakeFd fd_;
};

class PosixTransfer final : public DeviceTransfer {
public:
    bool finished = true; // created signalled: awaiting an unused record gives 0 at once
    std::uint32_t error = 0;
    std::uint8_t* buffer = nullptr;
    std::uint32_t count = 0;
    std::uint32_t done = 0;
    ReadPlan plan;
    Clock::time_point started;
    Clock::time_point lastByte;
    std::uint64_t abortMark = 0;
};

int PollTimeout(std::optional<Clock::time_point> deadline)
{
    if (!deadline) {
        return -1;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 24 * 3600 * 1000));
}

} // namespace

// Registers a thread's wake-up fd for the time it sleeps on the device and keeps Close
// from closing the tty under it.
class PosixCommDevice::Sleeper {
public:
    Sleeper(PosixCommDevice& device, int fd) : device_(device), fd_(fd)
    {
        device_.sleepers_.push_back(fd_);
        ++device_.busy_;
    }
    ~Sleeper()
    {
        auto& list = device_.sleepers_;
        list.erase(std::find(list.begin(), list.end(), fd_));
        if (--device_.busy_ == 0) {
            device_.idle_.notify_all();
        }
    }
    Sleeper(const Sleeper&) = delete;
    Sleeper& operator=(const Sleeper&) = delete;

private:
    PosixCommDevice& device_;
    int fd_;
};

PosixCommDevice::PosixCommDevice() : queue_(kDefaultQueue) {}

PosixCommDevice::~PosixCommDevice()
{
    Close();
}

bool PosixCommDevice::Open(const std::string& portName)
{
    std::unique_lock lock(mutex_);
    if (tty_.Valid()) {
        return Fail(oserr::ACCESS_DENIED);
    }
    const std::string path = PosixDeviceName(portName);
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid()) {
        return FailErrno(errno);
    }
    if (!::isatty(fd.Get())) {
        return Fail(oserr::FILE_NOT_FOUND); // not a serial device
    }
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        return FailErrno(errno);
    }
    // Keeps out other openers that do not take the lock; root is not kept out by it.
    ::ioctl(fd.Get(), TIOCEXCL);
    if (const int error = ApplyRawMode(fd.Get()); error != 0) {
        return FailErrno(error);
    }
    // Like the Windows driver, an opened port starts with an empty receive queue.
    ::tcflush(fd.Get(), TCIFLUSH);

    tty_ = std::move(fd);
    gone_ = false;
    goneErrno_ = 0;
    queue_.Clear();
    queue_.SetCapacity(kDefaultQueue);
    filter_ = ReceiveFilter();
    dsrSensitive_ = false;
    above80_ = false;
    mask_ = 0;
    history_ = 0;
    errors_ = 0;
    timeouts_ = CommTimeouts{};
    counters_ = ::ioctl(tty_.Get(), TIOCGICOUNT, &lastCount_) == 0;
    return true;
}

bool PosixCommDevice::IsOpen() const
{
    std::lock_guard lock(mutex_);
    return tty_.Valid();
}

void PosixCommDevice::Close()
{
    {
        std::lock_guard watch(watchMutex_);
        modem_.Stop();
    }
    std::unique_lock lock(mutex_);
    if (!tty_.Valid()) {
        return;
    }
    // Pending reads finish with a failure; a wait still running ends as refused.
    ++aborts_;
    gone_ = true;
    goneErrno_ = EBADF;
    NotifySleepersLocked(-1);
    idle_.wait(lock, [&] { return busy_ == 0; });
    ::ioctl(tty_.Get(), TIOCNXCL);
    tty_.Reset();
    queue_.Clear();
    history_ = 0;
    errors_ = 0;
    mask_ = 0;
}

bool PosixCommDevice::SetupQueues(std::uint32_t inputSize, std::uint32_t /*outputSize*/)
{
    std::lock_guard lock(mutex_);
    if (!tty_.Valid()) {
        return Fail(oserr::INVALID_HANDLE);
    }
    if (inputSize > 0) {
        queue_.SetCapacity(std::min<std::size_t>(inputSize, kLargestQueue));
        above80_ = queue_.Size() * 5 >= queue_.Capacity() * 4;
        NotifySleepersLocked(-1);
    }
    return true;
}

bool PosixCommDevice::SetState(const Dcb& dcb)
{
    std::lock_guard lock(mutex_);
    if (!tty_.Valid()) {
        return Fail(oserr::INVALID_HANDLE);
    }
    if (const int error = ApplyDcb(tty_.Get(), dcb); error != 0) {
        return FailErrno(error);
    }
    ReceiveSettings settings;
    settings.discardNull = (dcb.Flags & dcb::fNull) != 0;
    settings.parityCheck = (dcb.Flags & dcb::fParity) != 0;
    settings.replaceErrors = settings.parityCheck && (dcb.Flags & dcb::fErrorChar) != 0;
    settings.errorChar = static_cast<std::uint8_t>(dcb.ErrorChar);
    settings.eventChar = static_cast<std::uint8_t>(dcb.EvtChar);
    filter_.Configure(settings);
    dsrSensitive_ = (dcb.Flags & dcb::fDsrSensitivity) != 0;
    return true;
}

bool PosixCommDevice::SetTimeouts(const CommTimeouts& timeouts)
{
    std::lock_guard lock(mutex_);
    if (!tty_.Valid()) {
        return Fail(oserr::INVALID_HANDLE);
    }
    timeouts_ = timeouts;
    return true;
}

bool PosixCommDevice::SetEventMask(std::uint32_t mask)
{
    {
        std::lock_guard lock(mutex_);
        if (!tty_.Valid()) {
            return Fail(oserr::INVALID_HANDLE);
        }
        mask_ = mask;
        history_ = 0;
        ++maskChanges_;
        NotifySleepersLocked(-1);
    }
    UpdateModemWatch();
    return true;
}

void PosixCommDevice::UpdateModemWatch()
{
    std::lock_guard watch(watchMutex_);
    int fd = -1;
    bool wanted = false;
    {
        std::lock_guard lock(mutex_);
        fd = tty_.Get();
        int lines = 0;
        // A tty without modem lines (a pseudo-terminal) has no changes to wait for.
        wanted = fd >= 0 && (mask_ & kModemEvents) != 0 && ::ioctl(fd, TIOCMGET, &lines) == 0;
    }
    if (!wanted) {
        modem_.Stop();
    } else if (!modem_.Running()) {
        modem_.Start(fd, [this](std::uint32_t events) {
            std::lock_guard lock(mutex_);
            RaiseLocked(events);
        });
    }
}

std::unique_ptr<StopSignal> PosixCommDevice::CreateStopSignal()
{
    return std::make_unique<FdStopSignal>();
}

EventWaitResult PosixCommDevice::WaitForEvents(StopSignal& stop)
{
    auto* stopSignal = dynamic_cast<FdStopSignal*>(&stop);
    std::unique_lock lock(mutex_);
    if (stopSignal == nullptr || !tty_.Valid()) {
        lastError = oserr::INVALID_HANDLE;
        return {EventWaitStatus::refused, 0, oserr::INVALID_HANDLE};
    }
    Sleeper sleeper(*this, waitWake_.Get());
    const std::uint64_t maskAtStart = maskChanges_;
    for (;;) {
        // The stop signal wins over events that came with it.
        if (stopSignal->IsSet()) {
            return {EventWaitStatus::stopped, 0, 0};
        }
        FillLocked(waitWake_.Get());
        if ((history_ & mask_) != 0) {
            const std::uint32_t events = history_ & mask_;
            history_ = 0;
            return {EventWaitStatus::eventsReady, events, 0};
        }
        if (maskChanges_ != maskAtStart) {
            return {EventWaitStatus::eventsReady, 0, 0};
        }
        if (gone_) {
            const auto code = static_cast<std::uint32_t>(WinErrorFromErrno(goneErrno_));
            lastError = code;
            return {EventWaitStatus::refused, 0, code};
        }
        // A full queue leaves the tty alone until a read makes room (and wakes us).
        const bool room = queue_.Room() > 0;
        pollfd fds[3] = {
            {stopSignal->Fd(), POLLIN, 0}, {waitWake_.Get(), POLLIN, 0}, {room ? tty_.Get() : -1, POLLIN, 0}};
        lock.unlock();
        const int ready = ::poll(fds, 3, -1);
        const int pollErrno = errno;
        lock.lock();
        waitWake_.Drain();
        if (ready < 0 && pollErrno != EINTR) {
            gone_ = true;
            goneErrno_ = pollErrno;
        } else if ((fds[2].revents & (POLLERR | POLLNVAL)) != 0) {
            gone_ = true;
            goneErrno_ = EIO;
        } else if ((fds[2].revents & POLLHUP) != 0 && !gone_) {
            // A hang-up shows as readable; the read tells the data left from the end.
            const std::size_t before = queue_.Size();
            FillLocked(waitWake_.Get());
            if (queue_.Size() == before && queue_.Room() > 0 && !gone_) {
                gone_ = true;
                goneErrno_ = EIO;
            }
        }
    }
}

bool PosixCommDevice::Purge(std::uint32_t flags)
{
    std::lock_guard lock(mutex_);
    if (!tty_.Valid()) {
        return Fail(oserr::INVALID_HANDLE);
    }
    if ((flags & purge::RXABORT) != 0) {
        ++aborts_;
        NotifySleepersLocked(-1);
    }
    if ((flags & purge::RXCLEAR) != 0) {
        ::tcflush(tty_.Get(), TCIFLUSH);
        queue_.Clear();
        filter_.Reset();
        above80_ = false;
        NotifySleepersLocked(-1);
    }
    if ((flags & purge::TXCLEAR) != 0) {
        ::tcflush(tty_.Get(), TCOFLUSH);
    }
    // Nothing is ever written, so there is no write to abort.
    return true;
}

bool PosixCommDevice::ClearErrors(std::uint32_t& errors, ComStat& stat)
{
    std::lock_guard lock(mutex_);
    if (!tty_.Valid()) {
        return Fail(oserr::INVALID_HANDLE);
    }
    FillLocked(-1);
    errors = errors_;
    errors_ = 0;
    stat = ComStat{};
    stat.cbInQue = static_cast<std::uint32_t>(queue_.Size());
    int outQueue = 0;
    if (!gone_ && ::ioctl(tty_.Get(), TIOCOUTQ, &outQueue) == 0 && outQueue > 0) {
        stat.cbOutQue = static_cast<std::uint32_t>(outQueue);
    }
    return true;
}

bool PosixCommDevice::ModemStatus(std::uint32_t& status)
{
    std::lock_guard lock(mutex_);
    if (!tty_.Valid()) {
        return Fail(oserr::INVALID_HANDLE);
    }
    int lines = 0;
    if (::ioctl(tty_.Get(), TIOCMGET, &lines) != 0) {
        if (errno != ENOTTY && errno != EINVAL) {
            return FailErrno(errno);
        }
        lines = 0; // no modem lines: every line off
    }
    status = ((lines & TIOCM_CTS) != 0 ? ms::CTS_ON : 0) | ((lines & TIOCM_DSR) != 0 ? ms::DSR_ON : 0) |
             ((lines & TIOCM_RNG) != 0 ? ms::RING_ON : 0) | ((lines & TIOCM_CD) != 0 ? ms::RLSD_ON : 0);
    return true;
}

std::unique_ptr<DeviceTransfer> PosixCommDevice::CreateTransfer()
{
    return std::make_unique<PosixTransfer>();
}

ReadStart PosixCommDevice::BeginRead(DeviceTransfer& transfer, void* buffer, std::uint32_t count)
{
    auto* read = dynamic_cast<PosixTransfer*>(&transfer);
    std::lock_guard lock(mutex_);
    if (read == nullptr || !tty_.Valid()) {
        Fail(oserr::INVALID_HANDLE);
        return {ReadStartStatus::failed, 0};
    }
    read->buffer = static_cast<std::uint8_t*>(buffer);
    read->count = count;
    read->plan = PlanRead(timeouts_, count);
    read->started = Clock::now();
    read->abortMark = aborts_;
    read->error = 0;
    FillLocked(-1);
    read->done = static_cast<std::uint32_t>(PopLocked(read->buffer, count));
    read->lastByte = read->started;
    read->finished =
        read->done == count || read->plan.immediate || (read->plan.returnOnFirstByte && read->done > 0);
    if (!read->finished && gone_ && queue_.Size() == 0) {
        read->finished = true;
        read->error = static_cast<std::uint32_t>(WinErrorFromErrno(goneErrno_));
        Fail(read->error);
        return {ReadStartStatus::failed, 0};
    }
    if (read->finished) {
        return {ReadStartStatus::completed, read->done};
    }
    return {ReadStartStatus::pending, 0};
}

bool PosixCommDevice::AwaitTransfer(DeviceTransfer& transfer, std::uint32_t& bytes)
{
    auto* read = dynamic_cast<PosixTransfer*>(&transfer);
    if (read == nullptr) {
        return Fail(oserr::INVALID_HANDLE);
    }
    std::unique_lock lock(mutex_);
    if (!read->finished) {
        const WakeFd wake;
        Sleeper sleeper(*this, wake.Get());
        for (;;) {
            if (read->abortMark != aborts_ || !tty_.Valid()) {
                read->error = oserr::OPERATION_ABORTED;
                break;
            }
            FillLocked(wake.Get());
            const std::size_t got = PopLocked(read->buffer + read->done, read->count - read->done);
            const auto now = Clock::now();
            if (got > 0) {
                read->done += static_cast<std::uint32_t>(got);
                read->lastByte = now;
            }
            if (read->done == read->count || (read->plan.returnOnFirstByte && read->done > 0)) {
                break;
            }
            if (gone_) {
                if (read->done == 0) {
                    read->error = static_cast<std::uint32_t>(WinErrorFromErrno(goneErrno_));
                }
                break;
            }
            std::optional<Clock::time_point> deadline;
            if (read->plan.total) {
                deadline = read->started + *read->plan.total;
            }
            if (read->plan.interval && read->done > 0) {
                const auto intervalEnd = read->lastByte + *read->plan.interval;
                deadline = deadline ? std::min(*deadline, intervalEnd) : intervalEnd;
            }
            if (deadline && now >= *deadline) {
                break; // a time-out ends the read successfully with what it has
            }
            const bool room = queue_.Room() > 0;
            pollfd fds[2] = {{wake.Get(), POLLIN, 0}, {room ? tty_.Get() : -1, POLLIN, 0}};
            lock.unlock();
            ::poll(fds, 2, PollTimeout(deadline));
            lock.lock();
            wake.Drain();
            if ((fds[1].revents & (POLLERR | POLLNVAL)) != 0) {
                gone_ = true;
                goneErrno_ = EIO;
            } else if ((fds[1].revents & POLLHUP) != 0) {
                const std::size_t before = queue_.Size();
                FillLocked(wake.Get());
                if (queue_.Size() == before && queue_.Room() > 0 && !gone_) {
                    gone_ = true;
                    goneErrno_ = EIO;
                }
            }
        }
        read->finished = true;
    }
    bytes = read->done;
    if (read->error != 0) {
        return Fail(read->error);
    }
    return true;
}

std::uint32_t PosixCommDevice::LastError() const
{
    return lastError;
}

void PosixCommDevice::SetCurrentThreadPriority(int level)
{
    if (level == 0) {
        return;
    }
    // Windows levels as nice values; raising the priority may be refused, which keeps it.
    int nice = 0;
    if (level <= -15) {
        nice = 19;
    } else if (level >= 15) {
        nice = -20;
    } else {
        nice = std::clamp(-5 * level, -19, 19);
    }
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), nice);
}

void PosixCommDevice::FillLocked(int wokenBy)
{
    if (!tty_.Valid() || gone_) {
        return;
    }
    std::uint8_t raw[4096];
    bool changed = false;
    while (queue_.Room() > 0) {
        // Decoding never yields more bytes than it is given, so this fits the queue.
        const std::size_t want = std::min(sizeof raw, queue_.Room());
        const ssize_t got = ::read(tty_.Get(), raw, want);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 && errno == EAGAIN) {
            break;
        }
        if (got <= 0) {
            gone_ = true;
            goneErrno_ = got == 0 ? EIO : errno;
            changed = true;
            break;
        }
        decoded_.clear();
        const CounterChanges counted = CountersLocked();
        ReceiveOutcome outcome = filter_.Feed(raw, static_cast<std::size_t>(got), decoded_, counted.hint);
        if (counted.overrun) {
            outcome.errors |= ce::OVERRUN;
            outcome.events |= ev::ERR;
        }
        if (dsrSensitive_ && DsrOffLocked()) {
            decoded_.clear();
            outcome.events &= ~static_cast<std::uint32_t>(ev::RXCHAR | ev::RXFLAG);
        }
        queue_.Push(decoded_.data(), decoded_.size());
        if (!above80_ && queue_.Size() * 5 >= queue_.Capacity() * 4) {
            above80_ = true;
            outcome.events |= ev::RX80FULL;
        }
        errors_ |= outcome.errors;
        history_ |= outcome.events & mask_;
        changed = true;
        if (static_cast<std::size_t>(got) < want) {
            break; // drained; poll tells about the next bytes
        }
    }
    if (changed) {
        NotifySleepersLocked(wokenBy);
    }
}

PosixCommDevice::CounterChanges PosixCommDevice::CountersLocked()
{
    CounterChanges changes;
    serial_icounter_struct now{};
    if (!counters_ || ::ioctl(tty_.Get(), TIOCGICOUNT, &now) != 0) {
        return changes;
    }
    changes.hint.known = true;
    changes.hint.frame = now.frame != lastCount_.frame;
    changes.hint.parity = now.parity != lastCount_.parity;
    changes.hint.brk = now.brk != lastCount_.brk;
    changes.overrun = now.overrun != lastCount_.overrun || now.buf_overrun != lastCount_.buf_overrun;
    lastCount_ = now;
    return changes;
}

bool PosixCommDevice::DsrOffLocked() const
{
    int lines = 0;
    // Without modem lines (a pseudo-terminal) there is no DSR to be sensitive to.
    return ::ioctl(tty_.Get(), TIOCMGET, &lines) == 0 && (lines & TIOCM_DSR) == 0;
}

std::size_t PosixCommDevice::PopLocked(std::uint8_t* out, std::size_t count)
{
    const bool wasFull = queue_.Room() == 0;
    const std::size_t got = queue_.Pop(out, count);
    if (queue_.Size() * 5 < queue_.Capacity() * 4) {
        above80_ = false;
    }
    if (wasFull && got > 0) {
        NotifySleepersLocked(-1); // a wait that left the tty alone may read it again
    }
    return got;
}

void PosixCommDevice::RaiseLocked(std::uint32_t events)
{
    if ((events & mask_) != 0) {
        history_ |= events & mask_;
        NotifySleepersLocked(-1);
    }
}

void PosixCommDevice::NotifySleepersLocked(int except)
{
    for (const int fd : sleepers_) {
        if (fd != except) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t written = ::write(fd, &one, sizeof one);
        }
    }
}

} // namespace lantorvix::posix

namespace lantorvix {

std::unique_ptr<CommDevice> CreateCommDevice()
{
    return std::make_unique<posix::PosixCommDevice>();
}

} // namespace lantorvix
