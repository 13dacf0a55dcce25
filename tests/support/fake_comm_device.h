#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "serial/comm_device.h"

namespace lantorvix::test {

// One recorded call on the fake device.
struct FakeCall {
    std::string name;                     // the CommDevice operation, e.g. "SetState"
    std::vector<std::uint64_t> args;      // its integer arguments in order
    std::string text;                     // the port name of Open
    std::optional<Dcb> dcb;               // for SetState
    std::optional<CommTimeouts> timeouts; // for SetTimeouts
};

// A scriptable CommDevice that records every call with its arguments. Thread-safe: the port's
// event thread and the test thread use it at once.
//
// Scripting: failures per operation (Fail / FailOnce), a receive queue (Receive) that reads
// take from at once as with the default time-outs, error flags (SetErrorFlags, cleared by
// ClearErrors), modem status, and the results of event waits (PushEvents / PushWaitResult).
// WaitForEvents blocks until a result is scripted or the stop signal is set; a set stop
// signal wins over a scripted result.
class FakeCommDevice : public CommDevice {
public:
    FakeCommDevice() = default;

    // CommDevice
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

    // Scripting
    // Every later call of the operation fails with the Windows error code.
    void Fail(const std::string& operation, std::uint32_t osError);
    // Only the next call fails.
    void FailOnce(const std::string& operation, std::uint32_t osError);
    void ClearFailures();
    // Bytes arrive in the receive queue (no event by itself).
    void Receive(const std::string& bytes);
    // Bytes arrive and a wait reports EV_RXCHAR.
    void ReceiveWithEvent(const std::string& bytes);
    // ClearErrors reports this many bytes more than are queued (a count gone stale).
    void OverstateQueueCount(std::uint32_t extra);
    void SetErrorFlags(std::uint32_t flags);
    void SetModemStatus(std::uint32_t status);
    void PushEvents(std::uint32_t mask);
    void PushWaitResult(EventWaitResult result);
    // Reads stay pending until CompletePendingReads or an aborting Purge.
    void SetReadsPend(bool pend);
    void CompletePendingReads();

    // Observation
    std::vector<FakeCall> Calls() const;
    std::vector<FakeCall> Calls(const std::string& name) const;
    std::vector<std::string> CallNames() const;
    std::size_t CallCount(const std::string& name) const;
    void ClearCalls();
    std::size_t QueuedBytes() const;
    std::uint32_t EventMask() const;
    // Blocks (bounded) until at least n waits have started; true when they have.
    bool AwaitWaitsStarted(std::size_t n, std::chrono::milliseconds bound = std::chrono::seconds(10)) const;
    std::size_t WaitsStarted() const;
    int PriorityGiven() const;
    // The thread ids that called WaitForEvents.
    std::set<std::thread::id> WaitingThreads() const;

private:
    class FakeStop;
    class FakeTransfer;

    bool Record(FakeCall call);
    bool FailsNow(const std::string& operation);
    void SetLastError(std::uint32_t code);

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool open_ = false;
    std::vector<FakeCall> calls_;
    std::map<std::string, std::uint32_t> failures_;
    std::map<std::string, std::uint32_t> failOnce_;
    std::map<std::thread::id, std::uint32_t> lastError_;
    std::deque<char> input_;
    std::uint32_t errorFlags_ = 0;
    std::uint32_t queueCountExtra_ = 0;
    std::uint32_t modemStatus_ = 0;
    std::uint32_t eventMask_ = 0;
    std::deque<EventWaitResult> waitResults_;
    std::size_t waitsStarted_ = 0;
    std::set<std::thread::id> waitingThreads_;
    bool readsPend_ = false;
    std::uint64_t abortGeneration_ = 0;
    std::uint64_t completeGeneration_ = 0;
    int priority_ = -100;
};

} // namespace lantorvix::test
