#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace lantorvix {

// The serial device as the port component sees it: the Windows communications API, reduced
// to the calls the port makes and named for what they do. The Win32 implementation maps each
// operation onto the API call of the same role; the POSIX one emulates the Windows driver's
// behaviour on termios (own receive queue, the ten line events, Windows error codes); tests
// use a scriptable fake.
//
// Records and bit values are those of the Windows API so that both implementations and the
// port agree on one vocabulary.
//
// Why the POSIX device plays the Windows driver's part rather than the port speaking termios:
// the port's logic (event waits, queue counts, line errors, time-outs, error codes in its
// messages) is written and tested once, against one driver model, and behaves the same on
// both systems; all that differs between them stays below this line.

// The device control block (Windows DCB), 28 bytes there. The two-bit and one-bit members of
// the Windows bit field are carried together in Flags, with the Windows bit positions.
struct Dcb {
    std::uint32_t DCBlength = 28;
    std::uint32_t BaudRate = 0;
    std::uint32_t Flags = 0;
    std::uint16_t wReserved = 0;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t StopBits = 0; // 0 one, 1 one and a half, 2 two
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
    std::uint16_t wReserved1 = 0;

    friend bool operator==(const Dcb&, const Dcb&) = default;
};

namespace dcb {
inline constexpr std::uint32_t fBinary = 0x0001;
inline constexpr std::uint32_t fParity = 0x0002;
inline constexpr std::uint32_t fOutxCtsFlow = 0x0004;
inline constexpr std::uint32_t fOutxDsrFlow = 0x0008;
inline constexpr std::uint32_t fDtrControlMask = 0x0030;
inline constexpr std::uint32_t fDtrControlEnable = 0x0010;
inline constexpr std::uint32_t fDtrControlHandshake = 0x0020;
inline constexpr std::uint32_t fDsrSensitivity = 0x0040;
inline constexpr std::uint32_t fTXContinueOnXoff = 0x0080;
inline constexpr std::uint32_t fOutX = 0x0100;
inline constexpr std::uint32_t fInX = 0x0200;
inline constexpr std::uint32_t fErrorChar = 0x0400;
inline constexpr std::uint32_t fNull = 0x0800;
inline constexpr std::uint32_t fRtsControlMask = 0x3000;
inline constexpr std::uint32_t fRtsControlEnable = 0x1000;
inline constexpr std::uint32_t fRtsControlHandshake = 0x2000;
inline constexpr std::uint32_t fRtsControlToggle = 0x3000;
inline constexpr std::uint32_t fAbortOnError = 0x4000;
} // namespace dcb

// The five driver time-outs in milliseconds (Windows COMMTIMEOUTS). A read interval of
// 0xFFFFFFFF with both read totals 0 makes a read return at once with what is queued.
struct CommTimeouts {
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;

    friend bool operator==(const CommTimeouts&, const CommTimeouts&) = default;
};

// Queue state returned with the error flags (Windows COMSTAT). Flags holds the Windows
// status bits (fCtsHold 0x01 ... fTxim 0x40); the port reads only the counts.
struct ComStat {
    std::uint32_t Flags = 0;
    std::uint32_t cbInQue = 0;
    std::uint32_t cbOutQue = 0;
};

// Event mask bits (Windows EV_*), as set by SetEventMask and reported by WaitForEvents.
namespace ev {
inline constexpr std::uint32_t RXCHAR = 0x0001;
inline constexpr std::uint32_t RXFLAG = 0x0002;
inline constexpr std::uint32_t TXEMPTY = 0x0004;
inline constexpr std::uint32_t CTS = 0x0008;
inline constexpr std::uint32_t DSR = 0x0010;
inline constexpr std::uint32_t RLSD = 0x0020;
inline constexpr std::uint32_t BREAK = 0x0040;
inline constexpr std::uint32_t ERR = 0x0080;
inline constexpr std::uint32_t RING = 0x0100;
inline constexpr std::uint32_t PERR = 0x0200;
inline constexpr std::uint32_t RX80FULL = 0x0400;
} // namespace ev

// Line error flags (Windows CE_*), returned and cleared by ClearErrors.
namespace ce {
inline constexpr std::uint32_t RXOVER = 0x0001;
inline constexpr std::uint32_t OVERRUN = 0x0002;
inline constexpr std::uint32_t RXPARITY = 0x0004;
inline constexpr std::uint32_t FRAME = 0x0008;
inline constexpr std::uint32_t BREAK = 0x0010;
inline constexpr std::uint32_t TXFULL = 0x0100;
inline constexpr std::uint32_t PTO = 0x0200;
inline constexpr std::uint32_t IOE = 0x0400;
inline constexpr std::uint32_t DNS = 0x0800;
inline constexpr std::uint32_t OOP = 0x1000;
inline constexpr std::uint32_t MODE = 0x8000;
} // namespace ce

// Modem input lines (Windows MS_*_ON), from ModemStatus.
namespace ms {
inline constexpr std::uint32_t CTS_ON = 0x0010;
inline constexpr std::uint32_t DSR_ON = 0x0020;
inline constexpr std::uint32_t RING_ON = 0x0040;
inline constexpr std::uint32_t RLSD_ON = 0x0080;
} // namespace ms

// Purge flags (Windows PURGE_*).
namespace purge {
inline constexpr std::uint32_t TXABORT = 0x0001;
inline constexpr std::uint32_t RXABORT = 0x0002;
inline constexpr std::uint32_t TXCLEAR = 0x0004;
inline constexpr std::uint32_t RXCLEAR = 0x0008;
} // namespace purge

// Windows error codes the core and the POSIX device use by name (the POSIX device reports
// them for its errno values, so that the port's " (win error code: %d)" suffix reads the
// same on both products).
namespace oserr {
inline constexpr std::uint32_t SUCCESS = 0;
inline constexpr std::uint32_t INVALID_FUNCTION = 1;
inline constexpr std::uint32_t FILE_NOT_FOUND = 2;
inline constexpr std::uint32_t PATH_NOT_FOUND = 3;
inline constexpr std::uint32_t TOO_MANY_OPEN_FILES = 4;
inline constexpr std::uint32_t ACCESS_DENIED = 5;
inline constexpr std::uint32_t INVALID_HANDLE = 6;
inline constexpr std::uint32_t NOT_ENOUGH_MEMORY = 8;
inline constexpr std::uint32_t GEN_FAILURE = 31;
inline constexpr std::uint32_t INVALID_PARAMETER = 87;
inline constexpr std::uint32_t FILENAME_EXCED_RANGE = 206;
inline constexpr std::uint32_t OPERATION_ABORTED = 995;
inline constexpr std::uint32_t IO_PENDING = 997;
inline constexpr std::uint32_t IO_DEVICE = 1117;
} // namespace oserr

// A manual-reset signal that ends a WaitForEvents of the same device. Set may be called from
// any thread at any time, also before the wait starts; once set it stays set. Created by the
// device; owned and destroyed by the waiting thread after its last wait has returned, which
// may be after the device was closed or reopened: it must not depend on the open session.
class StopSignal {
public:
    virtual ~StopSignal() = default;
    virtual void Set() = 0;
    virtual bool IsSet() const = 0;
};

// One read (or write) on the device with its own completion state: the Windows OVERLAPPED
// record with its manual-reset event, created signalled, so that awaiting a transfer on
// which nothing was started returns at once with 0 bytes. Must not be destroyed while a read
// started on it is pending (await it first; AbortTransfers makes a pending read finish).
class DeviceTransfer {
public:
    virtual ~DeviceTransfer() = default;
};

// Outcome of one WaitForEvents.
enum class EventWaitStatus {
    eventsReady, // a wait completed successfully; mask holds the events (possibly 0)
    waitFailed,  // a started wait completed with a failure; issue the next wait
    stopped,     // the stop signal is set; it wins over a completion that came with it
    refused,     // the device refused a wait or no longer answers (gone, hung up): do not retry
};

struct EventWaitResult {
    EventWaitStatus status = EventWaitStatus::stopped;
    std::uint32_t mask = 0;    // EV_* bits, for eventsReady
    std::uint32_t osError = 0; // Windows error code, for waitFailed and refused
};

// Outcome of starting a read.
enum class ReadStartStatus {
    completed, // finished at once; bytes holds the count
    pending,   // running; AwaitTransfer finishes it
    failed,    // refused; LastError() has the code
};

struct ReadStart {
    ReadStartStatus status = ReadStartStatus::failed;
    std::uint32_t bytes = 0;
};

// Thread-safety contract:
// - Open, Close, SetupQueues, SetState and SetTimeouts are called by the port's owner thread
//   (the main thread). Close is called only after the event thread has ended, so it never
//   races a wait; it finishes any transfer still pending in the driver before it returns.
// - While open, the event thread calls SetEventMask, WaitForEvents and Purge, concurrently
//   with the main (or a handler's) thread calling ClearErrors, ModemStatus, CreateTransfer,
//   BeginRead, AwaitTransfer and Purge. All of these must be safe to call concurrently.
// - WaitForEvents is called by one thread at a time (the port's event thread).
// - StopSignal::Set may be called from any thread.
// - LastError is per calling thread, like GetLastError: the code of the last failed call
//   this thread made on the device.
// - The port keeps one device for its whole life and opens and closes it repeatedly.
class CommDevice {
public:
    virtual ~CommDevice() = default;

    // Opens the device for the port name ("COM1" -> "\\.\COM1" on Windows; "ttyUSB0" ->
    // "/dev/ttyUSB0" or an absolute path on POSIX; see device_name.h): read and write,
    // exclusive, asynchronous. False on failure (LastError: 2 missing, 5 held by another).
    virtual bool Open(const std::string& portName) = 0;
    virtual bool IsOpen() const = 0;
    // Closes the device; does nothing when it is not open.
    virtual void Close() = 0;

    // Receive and transmit queue sizes in bytes (SetupComm).
    virtual bool SetupQueues(std::uint32_t inputSize, std::uint32_t outputSize) = 0;
    // Line configuration from a control block built from nothing (SetCommState).
    virtual bool SetState(const Dcb& dcb) = 0;
    // Driver time-outs (SetCommTimeouts).
    virtual bool SetTimeouts(const CommTimeouts& timeouts) = 0;

    // Events a WaitForEvents reports (SetCommMask); 0 ends a wait that is running.
    virtual bool SetEventMask(std::uint32_t mask) = 0;
    // A fresh, unset stop signal for WaitForEvents.
    virtual std::unique_ptr<StopSignal> CreateStopSignal() = 0;
    // Starts a wait for the events of the mask (WaitCommEvent, overlapped) and blocks in the
    // kernel until it completes or stop is set (WaitForMultipleObjects with the stop signal
    // first). Never polls. When it returns stopped, a wait may still be outstanding in the
    // driver; SetEventMask(0), Purge or Close finishes it, and the device keeps whatever that
    // wait needs alive until then.
    virtual EventWaitResult WaitForEvents(StopSignal& stop) = 0;

    // Empties or aborts the queues and pending transfers (PurgeComm, purge:: flags). Aborted
    // reads finish with a failure (OPERATION_ABORTED).
    virtual bool Purge(std::uint32_t flags) = 0;
    // Fetches and clears the line error flags (CE_*) and the queue counts (ClearCommError).
    virtual bool ClearErrors(std::uint32_t& errors, ComStat& stat) = 0;
    // The modem input lines (MS_*_ON bits, GetCommModemStatus). A device without modem lines
    // reports every line off.
    virtual bool ModemStatus(std::uint32_t& status) = 0;

    // A transfer record for BeginRead / AwaitTransfer.
    virtual std::unique_ptr<DeviceTransfer> CreateTransfer() = 0;
    // Starts a read of up to count bytes into buffer (ReadFile, overlapped). The buffer must
    // stay valid until the transfer is finished. How long the read waits follows the
    // time-outs; with the all-ones interval and zero totals it completes at once with what
    // is queued, possibly nothing.
    virtual ReadStart BeginRead(DeviceTransfer& transfer, void* buffer, std::uint32_t count) = 0;
    // Waits without a time limit for the transfer to finish (WaitForSingleObject, then
    // GetOverlappedResult). True with the bytes transferred; false when the transfer failed
    // or was aborted (LastError has the code).
    virtual bool AwaitTransfer(DeviceTransfer& transfer, std::uint32_t& bytes) = 0;

    // The calling thread's code of its last failed call on this device (Windows codes).
    virtual std::uint32_t LastError() const = 0;

    // Gives the calling thread the scheduling priority of the Windows level (-15 idle, -2,
    // -1, 0 normal, 1, 2, 15 time-critical). Called by the event thread as it starts; a
    // platform that cannot honour a level keeps the thread as it is.
    virtual void SetCurrentThreadPriority(int level) = 0;
};

// The platform's device (Win32 comm API or termios), implemented by lantorvix_serial_platform.
std::unique_ptr<CommDevice> CreateCommDevice();

} // namespace lantorvix
