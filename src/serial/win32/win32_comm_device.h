#pragma once

#include "serial/comm_device.h"

#include <windows.h>

namespace lantorvix::win32 {

// The serial device on the Windows communications API: every operation is the API call of
// the same role on "\\.\" + the port name, opened for overlapped I/O.
//
// Thread-safety: as CommDevice says. The handle changes only in Open and Close (main
// thread). The event wait's OVERLAPPED record and mask live in the device, not on the
// waiting thread's stack, because a wait left pending by a stop is only finished later by
// SetEventMask(0), Purge or Close; they are touched by the event thread and by Close, which
// runs after that thread has ended.
class Win32CommDevice final : public CommDevice {
public:
    Win32CommDevice();
    ~Win32CommDevice() override;
    Win32CommDevice(const Win32CommDevice&) = delete;
    Win32CommDevice& operator=(const Win32CommDevice&) = delete;

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
    void FinishPendingWait();

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    OVERLAPPED waitOverlapped_{};
    DWORD waitMask_ = 0;
    bool waitPending_ = false;
};

} // namespace lantorvix::win32
