#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "serial/com_error.h"
#include "serial/com_settings.h"
#include "serial/com_types.h"
#include "serial/comm_device.h"
#include "serial/component.h"
#include "serial/port_link.h"
#include "serial/port_transfer.h"

namespace lantorvix {

class IniFile;
class RegistryStore;
class MainThreadDispatcher;
class PortSession;
class TCustomComPort;

using TNotifyEvent = std::function<void(TCustomComPort& Sender)>;
using TRxCharEvent = std::function<void(TCustomComPort& Sender, std::int32_t Count)>;
using TRxBufEvent = std::function<void(TCustomComPort& Sender, const void* Buffer, std::int32_t Count)>;
using TComErrorEvent = std::function<void(TCustomComPort& Sender, TComErrors Errors)>;
using TComSignalEvent = std::function<void(TCustomComPort& Sender, bool OnOff)>;

// The serial port component: one device with its line settings, an event thread while open
// and the dispatch of line events to the handlers below.
//
// It keeps its whole surface (links, window-message sync, buffers, persistence) although the
// scanner program opens one port for character reception: it is a general component with a
// contract of its own, the parts share the event thread and the settings model, and a
// component trimmed to one caller would have to be rebuilt, and its tests rewritten, for the
// next. What the program does not use costs nothing while unset.
//
// Thread-safety contract: properties, Open, Close and the apply operations belong to the main
// thread (the dispatcher's) and take no lock. Under smThreadSync and smWindowSync the line
// event handlers run on the main thread too; under smNone they run on the event thread,
// concurrently with the main thread, and must synchronise themselves. The open and close
// notifications run on the thread that called Open or Close. The reading operations and the
// queries may be called from a handler on whichever thread it runs. Closing or destroying
// the port from inside one of its own hand-overs does not hang: the event thread is then told
// to stop and is collected later (the port must not be destroyed inside its own handler). A
// close or open served while Close waits for the event thread (a modal loop in a hand-over)
// runs in full; the waiting Close then leaves the port as those calls left it.
class TCustomComPort : public TComponent {
public:
    // The platform's device (CreateCommDevice) and the process's default dispatcher.
    explicit TCustomComPort(TComponent* owner = nullptr);
    // A given device; dispatcher nullptr means the process's default one at Open.
    TCustomComPort(TComponent* owner, std::unique_ptr<CommDevice> device, MainThreadDispatcher* dispatcher);
    ~TCustomComPort() override;

    // Properties. A setter of a line setting stores a changed value and re-applies it on an
    // open port; on a closed port it only stores.
    bool Connected() const { return session_ != nullptr || connectWhenLoaded_; }
    void SetConnected(bool value);
    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate value);
    std::int32_t CustomBaudRate() const { return customBaudRate_; }
    void SetCustomBaudRate(std::int32_t value);
    const std::string& Port() const { return port_; }
    // A different name (case counts) reopens an open port on the new device.
    void SetPort(const std::string& value);
    TComParity& Parity() { return *parity_; }
    const TComParity& Parity() const { return *parity_; }
    void SetParity(const TComParity& value);
    TStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TStopBits value);
    TDataBits DataBits() const { return dataBits_; }
    void SetDataBits(TDataBits value);
    bool DiscardNull() const { return discardNull_; }
    void SetDiscardNull(bool value);
    char EventChar() const { return eventChar_; }
    void SetEventChar(char value);
    // Stored only: the event thread takes the mask when the port opens.
    TComEvents Events() const { return events_; }
    void SetEvents(TComEvents value) { events_ = value; }
    TComBuffer& Buffer() { return *buffer_; }
    const TComBuffer& Buffer() const { return *buffer_; }
    void SetBuffer(const TComBuffer& value);
    TComFlowControl& FlowControl() { return *flowControl_; }
    const TComFlowControl& FlowControl() const { return *flowControl_; }
    void SetFlowControl(const TComFlowControl& value);
    TComTimeouts& Timeouts() { return *timeouts_; }
    const TComTimeouts& Timeouts() const { return *timeouts_; }
    void SetTimeouts(const TComTimeouts& value);
    TSyncMethod SyncMethod() const { return syncMethod_; }
    // Refused on an open port with EComPort 14.
    void SetSyncMethod(TSyncMethod value);
    TThreadPriority WatchThreadPriority() const { return watchThreadPriority_; }
    void SetWatchThreadPriority(TThreadPriority value) { watchThreadPriority_ = value; }
    TPersistGroups PersistGroups() const { return persistGroups_; }
    void SetPersistGroups(TPersistGroups value) { persistGroups_ = value; }

    // Event handlers; empty ones are skipped.
    TNotifyEvent OnAfterOpen;
    TNotifyEvent OnAfterClose;
    TNotifyEvent OnBeforeOpen;
    TNotifyEvent OnBeforeClose;
    TRxCharEvent OnRxChar;
    TRxBufEvent OnRxBuf;
    TNotifyEvent OnTxEmpty;
    TNotifyEvent OnBreak;
    TNotifyEvent OnRing;
    TComSignalEvent OnCTSChange;
    TComSignalEvent OnDSRChange;
    TComSignalEvent OnRLSDChange;
    TNotifyEvent OnRxFlag;
    TComErrorEvent OnError;
    TNotifyEvent OnRx80Full;
    // The device went away (a refused wait: unplugged, hung up): the event thread has ended
    // and the port, still open, reports nothing more. Runs on the main thread, queued through
    // the dispatcher after the thread's end; not at all when the port was closed meanwhile.
    TNotifyEvent OnDeviceLost;

    // Settings persistence (implemented with the settings stores).
    virtual void StoreToRegistry(RegistryStore& registry);
    virtual void StoreToIni(IniFile& ini);
    virtual void LoadFromRegistry(RegistryStore& registry);
    virtual void LoadFromIni(IniFile& ini);

    // Opening and closing. Both do nothing when already in the wanted state.
    void Open();
    void Close();
    virtual void CreateHandle();
    virtual void DestroyHandle();
    virtual void ApplySettings();
    virtual void ApplyDCB();
    virtual void ApplyTimeouts();
    virtual void ApplyBuffer();

    // The control block and time-outs the apply operations pass to the device.
    Dcb BuildDcb() const;
    CommTimeouts BuildTimeouts() const;

    // Device queries.
    std::int32_t InputCount();
    TModemLines ModemSignals();
    TComErrors ReadLineErrors();

    // Reading. A transfer is owned by the caller between NewTransfer and DisposeTransfer.
    void NewTransfer(PPortTransfer& transfer);
    static void DisposeTransfer(PPortTransfer& transfer);
    std::int32_t BeginReadBytes(void* Buffer, std::int32_t Count, PPortTransfer& transfer);
    std::int32_t ReadBytes(void* Buffer, std::int32_t Count);
    std::int32_t BeginReadText(std::string& Str, std::int32_t Count, PPortTransfer& transfer);
    std::int32_t ReadText(std::string& Str, std::int32_t Count);
    std::int32_t AwaitTransfer(PPortTransfer& transfer);
    void AbortTransfers();

    // Event handling, called by the event thread's hand-over and by Open and Close.
    void HandleRxChar();
    void HandleRxFlag();
    void HandleTxEmpty();
    void HandleBreak();
    void HandleRing();
    void HandleCTSChange();
    void HandleDSRChange();
    void HandleRLSDChange();
    void HandleError();
    void HandleRx80Full();
    void HandleBeforeOpen();
    void HandleAfterOpen();
    void HandleBeforeClose();
    void HandleAfterClose();
    void HandleDeviceLost();

    // Links: components informed of the port's activity, in registration order. Registering
    // a link twice or removing one that is not registered raises EComPort 18.
    void RegisterLink(TPortLink& link);
    void UnregisterLink(TPortLink& link);
    bool RxCharNotify() const { return rxCharNotify_; }
    void SetRxCharNotify(bool value) { rxCharNotify_ = value; }
    bool RxBufLinked() const { return rxBufLinked_; }
    // Received data is reported as a count through OnRxChar (not read by the port).
    bool ReportsByCount() const { return rxCharNotify_ && !rxBufLinked_; }

    bool WatchThreadActive() const;
    CommDevice& Device() { return *device_; }
    MainThreadDispatcher* Dispatcher() const;

    void Loaded() override;

protected:
    virtual void EmitAfterClose();
    virtual void EmitAfterOpen();
    virtual void EmitBeforeClose();
    virtual void EmitBeforeOpen();
    virtual void EmitRxChar(std::int32_t Count);
    virtual void EmitRxBuf(const void* Buffer, std::int32_t Count);
    virtual void EmitTxEmpty();
    virtual void EmitBreak();
    virtual void EmitRing();
    virtual void EmitRxFlag();
    virtual void EmitCTSChange(bool OnOff);
    virtual void EmitDSRChange(bool OnOff);
    virtual void EmitError(TComErrors Errors);
    virtual void EmitRLSDChange(bool OnOff);
    virtual void EmitRx80Full();

private:
    bool Applicable() const;
    bool Designing() const;
    template <typename T> void SetDcbField(T& field, T value);
    [[noreturn]] void RaiseLastError(std::int32_t code);
    void ReportModemLines(bool on);
    void DeliverRxData(std::int32_t& Count);
    std::int32_t ReadAndEmitRxBuf(std::vector<char>& buffer, std::int32_t Count);
    void NotifyLinksSignal(TComSignalEvent TPortLink::*handler, bool OnOff);
    void NotifyLinksEvent(TNotifyEvent TPortLink::*handler);
    void NotifyLinksTxData(const void* Buffer, std::int32_t Count);
    bool LineState(std::uint32_t statusBit);

    std::unique_ptr<CommDevice> device_;
    MainThreadDispatcher* dispatcher_;
    std::vector<TPortLink*> linkList_;
    bool rxCharNotify_ = true;
    bool rxBufLinked_ = false;
    TThreadPriority watchThreadPriority_ = TThreadPriority::tpNormal;
    TBaudRate baudRate_ = TBaudRate::br9600;
    std::int32_t customBaudRate_ = 9600;
    std::string port_ = "COM1";
    TStopBits stopBits_ = TStopBits::sbOneStopBit;
    TDataBits dataBits_ = TDataBits::dbEight;
    TComEvents events_ = AllComEvents;
    TPersistGroups persistGroups_{TPersistGroup::pgBasic};
    // Connected as stored while designing or loading, before any session exists.
    bool connectWhenLoaded_ = false;
    TSyncMethod syncMethod_ = TSyncMethod::smThreadSync;
    bool discardNull_ = false;
    char eventChar_ = 0;
    std::unique_ptr<TComParity> parity_;
    std::unique_ptr<TComFlowControl> flowControl_;
    std::unique_ptr<TComTimeouts> timeouts_;
    std::unique_ptr<TComBuffer> buffer_;
    // The open device with its event thread; null while closed.
    std::shared_ptr<PortSession> session_;
    // Sessions closed from inside their thread's own hand-over, kept until that thread ended.
    std::vector<std::shared_ptr<PortSession>> retired_;
};

// The port as the application uses it; all properties are public in TCustomComPort.
class TComPort : public TCustomComPort {
public:
    using TCustomComPort::TCustomComPort;
};

} // namespace lantorvix
