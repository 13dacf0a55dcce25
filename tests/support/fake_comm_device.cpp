#include "support/fake_comm_device.h"

#include <algorithm>
#include <cstring>

namespace lantorvix::test {

// The stop signal wakes every waiter of its device through the device's condition.
class FakeCommDevice::FakeStop : public StopSignal {
public:
    explicit FakeStop(FakeCommDevice& device) : device_(device) {}
    void Set() override
    {
        {
            std::lock_guard lock(device_.mutex_);
            set_ = true;
        }
        device_.changed_.notify_all();
    }
    bool IsSet() const override
    {
        std::lock_guard lock(device_.mutex_);
        return set_;
    }
    bool SetLocked() const { return set_; }

private:
    FakeCommDevice& device_;
    bool set_ = false;
};

class FakeCommDevice::FakeTransfer : public DeviceTransfer {
public:
    bool pending = false;
    void* buffer = nullptr;
    std::uint32_t count = 0;
    std::uint32_t done = 0;
    std::uint64_t abortGeneration = 0;
    std::uint64_t completeGeneration = 0;
};

bool FakeCommDevice::FailsNow(const std::string& operation)
{
    if (auto it = failOnce_.find(operation); it != failOnce_.end()) {
        SetLastError(it->second);
        failOnce_.erase(it);
        return true;
    }
    if (auto it = failures_.find(operation); it != failures_.end()) {
        SetLastError(it->second);
        return true;
    }
    return false;
}

void FakeCommDevice::SetLastError(std::uint32_t code)
{
    lastError_[std::this_thread::get_id()] = code;
}

bool FakeCommDevice::Record(FakeCall call)
{
    const std::string name = call.name;
    calls_.push_back(std::move(call));
    return !FailsNow(name);
}

bool FakeCommDevice::Open(const std::string& portName)
{
    std::lock_guard lock(mutex_);
    if (!Record({"Open", {}, portName, {}, {}})) {
        return false;
    }
    open_ = true;
    return true;
}

bool FakeCommDevice::IsOpen() const
{
    std::lock_guard lock(mutex_);
    return open_;
}

void FakeCommDevice::Close()
{
    {
        std::lock_guard lock(mutex_);
        calls_.push_back({"Close", {}, {}, {}, {}});
        open_ = false;
        ++abortGeneration_;
    }
    changed_.notify_all();
}

bool FakeCommDevice::SetupQueues(std::uint32_t inputSize, std::uint32_t outputSize)
{
    std::lock_guard lock(mutex_);
    return Record({"SetupQueues", {inputSize, outputSize}, {}, {}, {}});
}

bool FakeCommDevice::SetState(const Dcb& dcb)
{
    std::lock_guard lock(mutex_);
    return Record({"SetState", {}, {}, dcb, {}});
}

bool FakeCommDevice::SetTimeouts(const CommTimeouts& timeouts)
{
    std::lock_guard lock(mutex_);
    return Record({"SetTimeouts", {}, {}, {}, timeouts});
}

bool FakeCommDevice::SetEventMask(std::uint32_t mask)
{
    {
        std::lock_guard lock(mutex_);
        if (!Record({"SetEventMask", {mask}, {}, {}, {}})) {
            return false;
        }
        eventMask_ = mask;
    }
    changed_.notify_all();
    return true;
}

std::unique_ptr<StopSignal> FakeCommDevice::CreateStopSignal()
{
    std::lock_guard lock(mutex_);
    calls_.push_back({"CreateStopSignal", {}, {}, {}, {}});
    return std::make_unique<FakeStop>(*this);
}

EventWaitResult FakeCommDevice::WaitForEvents(StopSignal& stop)
{
    auto& fakeStop = static_cast<FakeStop&>(stop);
    std::unique_lock lock(mutex_);
    calls_.push_back({"WaitForEvents", {}, {}, {}, {}});
    ++waitsStarted_;
    waitingThreads_.insert(std::this_thread::get_id());
    changed_.notify_all();
    changed_.wait(lock, [&] { return fakeStop.SetLocked() || !waitResults_.empty(); });
    if (fakeStop.SetLocked()) {
        return {EventWaitStatus::stopped, 0, 0};
    }
    EventWaitResult result = waitResults_.front();
    waitResults_.pop_front();
    return result;
}

bool FakeCommDevice::Purge(std::uint32_t flags)
{
    bool ok = false;
    {
        std::lock_guard lock(mutex_);
        ok = Record({"Purge", {flags}, {}, {}, {}});
        if (ok) {
            if ((flags & purge::RXCLEAR) != 0) {
                input_.clear();
            }
            if ((flags & purge::RXABORT) != 0) {
                ++abortGeneration_;
            }
        }
    }
    changed_.notify_all();
    return ok;
}

bool FakeCommDevice::ClearErrors(std::uint32_t& errors, ComStat& stat)
{
    std::lock_guard lock(mutex_);
    if (!Record({"ClearErrors", {}, {}, {}, {}})) {
        return false;
    }
    errors = errorFlags_;
    errorFlags_ = 0;
    stat = ComStat{};
    stat.cbInQue = static_cast<std::uint32_t>(input_.size()) + queueCountExtra_;
    return true;
}

bool FakeCommDevice::ModemStatus(std::uint32_t& status)
{
    std::lock_guard lock(mutex_);
    if (!Record({"ModemStatus", {}, {}, {}, {}})) {
        return false;
    }
    status = modemStatus_;
    return true;
}

std::unique_ptr<DeviceTransfer> FakeCommDevice::CreateTransfer()
{
    std::lock_guard lock(mutex_);
    calls_.push_back({"CreateTransfer", {}, {}, {}, {}});
    return std::make_unique<FakeTransfer>();
}

ReadStart FakeCommDevice::BeginRead(DeviceTransfer& transfer, void* buffer, std::uint32_t count)
{
    auto& t = static_cast<FakeTransfer&>(transfer);
    std::lock_guard lock(mutex_);
    if (!Record({"BeginRead", {count}, {}, {}, {}})) {
        return {ReadStartStatus::failed, 0};
    }
    t.buffer = buffer;
    t.count = count;
    t.done = 0;
    if (readsPend_) {
        t.pending = true;
        t.abortGeneration = abortGeneration_;
        t.completeGeneration = completeGeneration_;
        return {ReadStartStatus::pending, 0};
    }
    const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(count, input_.size()));
    std::copy_n(input_.begin(), n, static_cast<char*>(buffer));
    input_.erase(input_.begin(), input_.begin() + n);
    t.done = n;
    return {ReadStartStatus::completed, n};
}

bool FakeCommDevice::AwaitTransfer(DeviceTransfer& transfer, std::uint32_t& bytes)
{
    auto& t = static_cast<FakeTransfer&>(transfer);
    std::unique_lock lock(mutex_);
    if (!Record({"AwaitTransfer", {}, {}, {}, {}})) {
        return false;
    }
    if (t.pending) {
        changed_.wait(lock, [&] {
            return abortGeneration_ != t.abortGeneration || completeGeneration_ != t.completeGeneration;
        });
        t.pending = false;
        if (abortGeneration_ != t.abortGeneration) {
            SetLastError(oserr::OPERATION_ABORTED);
            return false;
        }
        const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(t.count, input_.size()));
        std::copy_n(input_.begin(), n, static_cast<char*>(t.buffer));
        input_.erase(input_.begin(), input_.begin() + n);
        t.done = n;
    }
    bytes = t.done;
    return true;
}

std::uint32_t FakeCommDevice::LastError() const
{
    std::lock_guard lock(mutex_);
    const auto it = lastError_.find(std::this_thread::get_id());
    return it == lastError_.end() ? 0 : it->second;
}

void FakeCommDevice::SetCurrentThreadPriority(int level)
{
    std::lock_guard lock(mutex_);
    calls_.push_back({"SetCurrentThreadPriority",
                      {static_cast<std::uint64_t>(static_cast<std::int64_t>(level))},
                      {},
                      {},
                      {}});
    priority_ = level;
}

void FakeCommDevice::Fail(const std::string& operation, std::uint32_t osError)
{
    std::lock_guard lock(mutex_);
    failures_[operation] = osError;
}

void FakeCommDevice::FailOnce(const std::string& operation, std::uint32_t osError)
{
    std::lock_guard lock(mutex_);
    failOnce_[operation] = osError;
}

void FakeCommDevice::ClearFailures()
{
    std::lock_guard lock(mutex_);
    failures_.clear();
    failOnce_.clear();
}

void FakeCommDevice::Receive(const std::string& bytes)
{
    {
        std::lock_guard lock(mutex_);
        input_.insert(input_.end(), bytes.begin(), bytes.end());
    }
    changed_.notify_all();
}

void FakeCommDevice::ReceiveWithEvent(const std::string& bytes)
{
    {
        std::lock_guard lock(mutex_);
        input_.insert(input_.end(), bytes.begin(), bytes.end());
        waitResults_.push_back({EventWaitStatus::eventsReady, ev::RXCHAR, 0});
    }
    changed_.notify_all();
}

void FakeCommDevice::OverstateQueueCount(std::uint32_t extra)
{
    std::lock_guard lock(mutex_);
    queueCountExtra_ = extra;
}

void FakeCommDevice::SetErrorFlags(std::uint32_t flags)
{
    std::lock_guard lock(mutex_);
    errorFlags_ = flags;
}

void FakeCommDevice::SetModemStatus(std::uint32_t status)
{
    std::lock_guard lock(mutex_);
    modemStatus_ = status;
}

void FakeCommDevice::PushEvents(std::uint32_t mask)
{
    PushWaitResult({EventWaitStatus::eventsReady, mask, 0});
}

void FakeCommDevice::PushWaitResult(EventWaitResult result)
{
    {
        std::lock_guard lock(mutex_);
        waitResults_.push_back(result);
    }
    changed_.notify_all();
}

void FakeCommDevice::SetReadsPend(bool pend)
{
    std::lock_guard lock(mutex_);
    readsPend_ = pend;
}

void FakeCommDevice::CompletePendingReads()
{
    {
        std::lock_guard lock(mutex_);
        ++completeGeneration_;
    }
    changed_.notify_all();
}

std::vector<FakeCall> FakeCommDevice::Calls() const
{
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<FakeCall> FakeCommDevice::Calls(const std::string& name) const
{
    std::lock_guard lock(mutex_);
    std::vector<FakeCall> out;
    std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(out),
                 [&](const FakeCall& c) { return c.name == name; });
    return out;
}

std::vector<std::string> FakeCommDevice::CallNames() const
{
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (const auto& c : calls_) {
        out.push_back(c.name);
    }
    return out;
}

std::size_t FakeCommDevice::CallCount(const std::string& name) const
{
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(calls_.begin(), calls_.end(), [&](const FakeCall& c) { return c.name == name; }));
}

void FakeCommDevice::ClearCalls()
{
    std::lock_guard lock(mutex_);
    calls_.clear();
}

std::size_t FakeCommDevice::QueuedBytes() const
{
    std::lock_guard lock(mutex_);
    return input_.size();
}

std::uint32_t FakeCommDevice::EventMask() const
{
    std::lock_guard lock(mutex_);
    return eventMask_;
}

bool FakeCommDevice::AwaitWaitsStarted(std::size_t n, std::chrono::milliseconds bound) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, bound, [&] { return waitsStarted_ >= n; });
}

std::size_t FakeCommDevice::WaitsStarted() const
{
    std::lock_guard lock(mutex_);
    return waitsStarted_;
}

int FakeCommDevice::PriorityGiven() const
{
    std::lock_guard lock(mutex_);
    return priority_;
}

std::set<std::thread::id> FakeCommDevice::WaitingThreads() const
{
    std::lock_guard lock(mutex_);
    return waitingThreads_;
}

} // namespace lantorvix::test
