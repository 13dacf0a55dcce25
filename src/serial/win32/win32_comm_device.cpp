#include "serial/win32/win32_comm_device.h"

#include "serial/device_name.h"

#include <stdexcept>

namespace lantorvix::win32 {

namespace {

thread_local std::uint32_t lastError = 0;

bool Failed()
{
    lastError = ::GetLastError();
    return false;
}

// A manual-reset event; the handle is closed with the owner.
class Event {
public:
    explicit Event(bool signalled) : handle_(::CreateEventA(nullptr, TRUE, signalled ? TRUE : FALSE, nullptr))
    {
        if (handle_ == nullptr) {
            throw std::runtime_error("CreateEvent failed");
        }
    }
    ~Event() { ::CloseHandle(handle_); }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

class EventStopSignal final : public StopSignal {
public:
    EventStopSignal() : event_(false) {}
    void Set() override { ::SetEvent(event_.Get()); }
    bool IsSet() const override { return ::WaitForSingleObject(event_.Get(), 0) == WAIT_OBJECT_0; }
    HANDLE Handle() const { return event_.Get(); }

private:
    Event event_;
};

class Win32Transfer final : public DeviceTransfer {
public:
    // Signalled from the start: awaiting a record on which nothing was started gives 0.
    Win32Transfer() : event_(true) { overlapped.hEvent = event_.Get(); }
    OVERLAPPED overlapped{};
    HANDLE handle = INVALID_HANDLE_VALUE;

private:
    Event event_;
};

} // namespace

Win32CommDevice::Win32CommDevice()
{
    waitOverlapped_.hEvent = ::CreateEventA(nullptr, TRUE, TRUE, nullptr);
    if (waitOverlapped_.hEvent == nullptr) {
        throw std::runtime_error("CreateEvent failed");
    }
}

Win32CommDevice::~Win32CommDevice()
{
    Close();
    ::CloseHandle(waitOverlapped_.hEvent);
}

bool Win32CommDevice::Open(const std::string& portName)
{
    if (handle_ != INVALID_HANDLE_VALUE) {
        lastError = ERROR_ACCESS_DENIED;
        return false;
    }
    const std::string name = Win32DeviceName(portName);
    handle_ = ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OVERLAPPED, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) {
        return Failed();
    }
    waitPending_ = false;
    return true;
}

bool Win32CommDevice::IsOpen() const
{
    return handle_ != INVALID_HANDLE_VALUE;
}

void Win32CommDevice::FinishPendingWait()
{
    if (waitPending_) {
        // The record must not be reused or freed while the driver still holds it.
        DWORD bytes = 0;
        ::CancelIoEx(handle_, &waitOverlapped_);
        ::GetOverlappedResult(handle_, &waitOverlapped_, &bytes, TRUE);
        waitPending_ = false;
    }
}

void Win32CommDevice::Close()
{
    if (handle_ == INVALID_HANDLE_VALUE) {
        return;
    }
    FinishPendingWait();
    ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

bool Win32CommDevice::SetupQueues(std::uint32_t inputSize, std::uint32_t outputSize)
{
    return ::SetupComm(handle_, inputSize, outputSize) != FALSE || Failed();
}

bool Win32CommDevice::SetState(const Dcb& in)
{
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = in.BaudRate;
    const std::uint32_t f = in.Flags;
    dcb.fBinary = (f & dcb::fBinary) != 0;
    dcb.fParity = (f & dcb::fParity) != 0;
    dcb.fOutxCtsFlow = (f & dcb::fOutxCtsFlow) != 0;
    dcb.fOutxDsrFlow = (f & dcb::fOutxDsrFlow) != 0;
    dcb.fDtrControl = (f & dcb::fDtrControlMask) >> 4;
    dcb.fDsrSensitivity = (f & dcb::fDsrSensitivity) != 0;
    dcb.fTXContinueOnXoff = (f & dcb::fTXContinueOnXoff) != 0;
    dcb.fOutX = (f & dcb::fOutX) != 0;
    dcb.fInX = (f & dcb::fInX) != 0;
    dcb.fErrorChar = (f & dcb::fErrorChar) != 0;
    dcb.fNull = (f & dcb::fNull) != 0;
    dcb.fRtsControl = (f & dcb::fRtsControlMask) >> 12;
    dcb.fAbortOnError = (f & dcb::fAbortOnError) != 0;
    dcb.XonLim = in.XonLim;
    dcb.XoffLim = in.XoffLim;
    dcb.ByteSize = in.ByteSize;
    dcb.Parity = in.Parity;
    dcb.StopBits = in.StopBits;
    dcb.XonChar = in.XonChar;
    dcb.XoffChar = in.XoffChar;
    dcb.ErrorChar = in.ErrorChar;
    dcb.EofChar = in.EofChar;
    dcb.EvtChar = in.EvtChar;
    return ::SetCommState(handle_, &dcb) != FALSE || Failed();
}

bool Win32CommDevice::SetTimeouts(const CommTimeouts& in)
{
    COMMTIMEOUTS timeouts{in.ReadIntervalTimeout, in.ReadTotalTimeoutMultiplier, in.ReadTotalTimeoutConstant,
                          in.WriteTotalTimeoutMultiplier, in.WriteTotalTimeoutConstant};
    return ::SetCommTimeouts(handle_, &timeouts) != FALSE || Failed();
}

bool Win32CommDevice::SetEventMask(std::uint32_t mask)
{
    return ::SetCommMask(handle_, mask) != FALSE || Failed();
}

std::unique_ptr<StopSignal> Win32CommDevice::CreateStopSignal()
{
    return std::make_unique<EventStopSignal>();
}

EventWaitResult Win32CommDevice::WaitForEvents(StopSignal& stop)
{
    auto* stopSignal = dynamic_cast<EventStopSignal*>(&stop);
    if (stopSignal == nullptr || handle_ == INVALID_HANDLE_VALUE) {
        lastError = ERROR_INVALID_HANDLE;
        return {EventWaitStatus::refused, 0, ERROR_INVALID_HANDLE};
    }
    if (!waitPending_) {
        waitMask_ = 0;
        if (::WaitCommEvent(handle_, &waitMask_, &waitOverlapped_) == FALSE) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_IO_PENDING) {
                // Refused at once (the device is gone): retrying would only spin.
                lastError = error;
                return {EventWaitStatus::refused, 0, error};
            }
        }
        waitPending_ = true;
    }
    const HANDLE handles[2] = {stopSignal->Handle(), waitOverlapped_.hEvent};
    const DWORD r = ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    if (r == WAIT_OBJECT_0) {
        return {EventWaitStatus::stopped, 0, 0};
    }
    if (r != WAIT_OBJECT_0 + 1) {
        const DWORD error = ::GetLastError();
        lastError = error;
        return {EventWaitStatus::refused, 0, error};
    }
    waitPending_ = false;
    DWORD bytes = 0;
    if (::GetOverlappedResult(handle_, &waitOverlapped_, &bytes, FALSE) == FALSE) {
        const DWORD error = ::GetLastError();
        lastError = error;
        // A device that no longer answers at all has gone (an unplugged adapter; under Wine
        // a hung-up pseudo-terminal, whose waits then fail at once, for ever). A device that
        // still answers only cancelled this wait: the next one is issued.
        DCB state{};
        state.DCBlength = sizeof state;
        if (::GetCommState(handle_, &state) == FALSE) {
            return {EventWaitStatus::refused, 0, error};
        }
        return {EventWaitStatus::waitFailed, 0, error};
    }
    return {EventWaitStatus::eventsReady, waitMask_, 0};
}

bool Win32CommDevice::Purge(std::uint32_t flags)
{
    return ::PurgeComm(handle_, flags) != FALSE || Failed();
}

bool Win32CommDevice::ClearErrors(std::uint32_t& errors, ComStat& stat)
{
    DWORD flags = 0;
    COMSTAT comstat{};
    if (::ClearCommError(handle_, &flags, &comstat) == FALSE) {
        return Failed();
    }
    errors = flags;
    stat.Flags = (comstat.fCtsHold ? 0x01u : 0u) | (comstat.fDsrHold ? 0x02u : 0u) |
                 (comstat.fRlsdHold ? 0x04u : 0u) | (comstat.fXoffHold ? 0x08u : 0u) |
                 (comstat.fXoffSent ? 0x10u : 0u) | (comstat.fEof ? 0x20u : 0u) |
                 (comstat.fTxim ? 0x40u : 0u);
    stat.cbInQue = comstat.cbInQue;
    stat.cbOutQue = comstat.cbOutQue;
    return true;
}

bool Win32CommDevice::ModemStatus(std::uint32_t& status)
{
    DWORD lines = 0;
    if (::GetCommModemStatus(handle_, &lines) == FALSE) {
        return Failed();
    }
    status = lines;
    return true;
}

std::unique_ptr<DeviceTransfer> Win32CommDevice::CreateTransfer()
{
    return std::make_unique<Win32Transfer>();
}

ReadStart Win32CommDevice::BeginRead(DeviceTransfer& transfer, void* buffer, std::uint32_t count)
{
    auto* read = dynamic_cast<Win32Transfer*>(&transfer);
    if (read == nullptr) {
        lastError = ERROR_INVALID_PARAMETER;
        return {ReadStartStatus::failed, 0};
    }
    read->handle = handle_;
    DWORD bytes = 0;
    if (::ReadFile(handle_, buffer, count, &bytes, &read->overlapped) != FALSE) {
        return {ReadStartStatus::completed, bytes};
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_IO_PENDING) {
        return {ReadStartStatus::pending, 0};
    }
    lastError = error;
    return {ReadStartStatus::failed, 0};
}

bool Win32CommDevice::AwaitTransfer(DeviceTransfer& transfer, std::uint32_t& bytes)
{
    auto* read = dynamic_cast<Win32Transfer*>(&transfer);
    if (read == nullptr) {
        lastError = ERROR_INVALID_PARAMETER;
        return false;
    }
    if (::WaitForSingleObject(read->overlapped.hEvent, INFINITE) != WAIT_OBJECT_0) {
        return Failed();
    }
    DWORD done = 0;
    const HANDLE handle = read->handle != INVALID_HANDLE_VALUE ? read->handle : handle_;
    if (::GetOverlappedResult(handle, &read->overlapped, &done, FALSE) == FALSE) {
        return Failed();
    }
    bytes = done;
    return true;
}

std::uint32_t Win32CommDevice::LastError() const
{
    return lastError;
}

void Win32CommDevice::SetCurrentThreadPriority(int level)
{
    ::SetThreadPriority(::GetCurrentThread(), level);
}

} // namespace lantorvix::win32

namespace lantorvix {

std::unique_ptr<CommDevice> CreateCommDevice()
{
    return std::make_unique<win32::Win32CommDevice>();
}

} // namespace lantorvix
