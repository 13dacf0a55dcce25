#include "serial/com_port.h"

#include <stdexcept>

#include "serial/com_conversions.h"
#include "serial/main_thread_dispatcher.h"
#include "serial/port_session.h"

namespace lantorvix {

TCustomComPort::TCustomComPort(TComponent* owner, std::unique_ptr<CommDevice> device,
                               MainThreadDispatcher* dispatcher)
    : TComponent(owner), device_(std::move(device)), dispatcher_(dispatcher)
{
    if (!device_) {
        throw std::invalid_argument("TCustomComPort needs a device");
    }
    parity_ = std::make_unique<TComParity>(this);
    flowControl_ = std::make_unique<TComFlowControl>(this);
    timeouts_ = std::make_unique<TComTimeouts>(this);
    buffer_ = std::make_unique<TComBuffer>(this);
}

TCustomComPort::~TCustomComPort()
{
    try {
        Close();
    } catch (...) {
        // A destructor cannot pass the failure on; show it, then release everything anyway.
        if (MainThreadDispatcher* dispatcher = Dispatcher()) {
            dispatcher->HandleException(std::current_exception());
        }
    }
    try {
        if (session_) {
            session_->StopThread();
            retired_.push_back(std::move(session_));
        }
        for (const auto& retired : retired_) {
            retired->ReleaseThread();
        }
        retired_.clear();
        if (device_->IsOpen()) {
            DestroyHandle();
        }
        connectWhenLoaded_ = false;
    } catch (...) {
    }
    buffer_.reset();
    flowControl_.reset();
    timeouts_.reset();
    parity_.reset();
}

MainThreadDispatcher* TCustomComPort::Dispatcher() const
{
    return dispatcher_ != nullptr ? dispatcher_ : MainThreadDispatcher::Default();
}

bool TCustomComPort::Designing() const
{
    return ComponentState().Contains(TComponentStateFlag::csDesigning);
}

bool TCustomComPort::WatchThreadActive() const
{
    return session_ && session_->ThreadActive();
}

bool TCustomComPort::Applicable() const
{
    return Connected() && !Designing() && !ComponentState().Contains(TComponentStateFlag::csLoading);
}

void TCustomComPort::RaiseLastError(std::int32_t code)
{
    throw EComPort(code, static_cast<std::int32_t>(device_->LastError()));
}

// Properties

template <typename T> void TCustomComPort::SetDcbField(T& field, T value)
{
    if (field == value) {
        return;
    }
    field = value;
    ApplyDCB();
}

void TCustomComPort::SetConnected(bool value)
{
    const auto state = ComponentState();
    if (state.Contains(TComponentStateFlag::csDesigning) || state.Contains(TComponentStateFlag::csLoading)) {
        connectWhenLoaded_ = value;
        return;
    }
    if (value == Connected()) {
        return;
    }
    if (value) {
        Open();
    } else {
        Close();
    }
}

void TCustomComPort::SetBaudRate(TBaudRate value)
{
    SetDcbField(baudRate_, value);
}
void TCustomComPort::SetCustomBaudRate(std::int32_t value)
{
    SetDcbField(customBaudRate_, value);
}
void TCustomComPort::SetStopBits(TStopBits value)
{
    SetDcbField(stopBits_, value);
}
void TCustomComPort::SetDataBits(TDataBits value)
{
    SetDcbField(dataBits_, value);
}
void TCustomComPort::SetDiscardNull(bool value)
{
    SetDcbField(discardNull_, value);
}
void TCustomComPort::SetEventChar(char value)
{
    SetDcbField(eventChar_, value);
}

void TCustomComPort::SetPort(const std::string& value)
{
    if (value == port_) {
        return;
    }
    port_ = value;
    if (Applicable()) {
        Close();
        Open();
    }
}

void TCustomComPort::SetParity(const TComParity& value)
{
    parity_->Assign(value);
    ApplyDCB();
}

void TCustomComPort::SetFlowControl(const TComFlowControl& value)
{
    flowControl_->Assign(value);
    ApplyDCB();
}

void TCustomComPort::SetTimeouts(const TComTimeouts& value)
{
    timeouts_->Assign(value);
    ApplyTimeouts();
}

void TCustomComPort::SetBuffer(const TComBuffer& value)
{
    buffer_->Assign(value);
    ApplyBuffer();
}

void TCustomComPort::SetSyncMethod(TSyncMethod value)
{
    if (value == syncMethod_) {
        return;
    }
    if (Applicable()) {
        throw EComPort(port_error::ConnChangeProp);
    }
    syncMethod_ = value;
}

void TCustomComPort::Loaded()
{
    TComponent::Loaded();
    if (connectWhenLoaded_ && !Designing()) {
        connectWhenLoaded_ = false;
        try {
            Open();
        } catch (...) {
            if (MainThreadDispatcher* dispatcher = Dispatcher()) {
                dispatcher->HandleException(std::current_exception());
            }
        }
    }
}

// Opening and closing

void TCustomComPort::Open()
{
    if (Connected() || Designing()) {
        return;
    }
    std::erase_if(retired_, [](const auto& retired) { return retired->ThreadEnded(); });
    HandleBeforeOpen();
    CreateHandle();
    auto session = std::make_shared<PortSession>(*this);
    session_ = session;
    try {
        ApplySettings();
        if (!events_.Empty()) {
            session->StartThread();
        }
    } catch (...) {
        DestroyHandle();
        session_.reset();
        throw;
    }
    HandleAfterOpen();
}

void TCustomComPort::Close()
{
    if (Designing()) {
        return;
    }
    if (!session_) {
        connectWhenLoaded_ = false;
        return;
    }
    // A close nested in one already under way for this session (served from a hand-over while
    // that one waits for the event thread) finishes it; the outer one then finds it done and
    // neither notifies nor closes again, whatever the nested calls opened meanwhile.
    const std::shared_ptr<PortSession> session = session_;
    const bool nested = session->Closing();
    if (!nested) {
        HandleBeforeClose();
        session->SetClosing(true);
    }
    // An outermost close that did not get through leaves the session open, not closing.
    struct EndOfClose {
        const std::shared_ptr<PortSession>& open;
        PortSession& session;
        bool outermost;
        ~EndOfClose()
        {
            if (outermost && open.get() == &session) {
                session.SetClosing(false);
            }
        }
    } endOfClose{session_, *session, !nested};
    AbortTransfers();
    if (session->ThreadActive()) {
        session->StopThread();
        if (session_ != session) {
            return;
        }
    }
    DestroyHandle();
    session_.reset();
    if (session->HoldsThreadLetGo()) {
        retired_.push_back(session);
    }
    HandleAfterClose();
}

void TCustomComPort::CreateHandle()
{
    if (!device_->Open(port_)) {
        RaiseLastError(port_error::OpenFailed);
    }
}

void TCustomComPort::DestroyHandle()
{
    if (device_->IsOpen()) {
        device_->Close();
    }
}

void TCustomComPort::ApplySettings()
{
    ApplyBuffer();
    ApplyDCB();
    ApplyTimeouts();
}

Dcb TCustomComPort::BuildDcb() const
{
    Dcb dcb;
    dcb.DCBlength = 28;
    dcb.BaudRate = baudRate_ == TBaudRate::brCustom ? static_cast<std::uint32_t>(customBaudRate_)
                                                    : BaudRateValue(baudRate_);
    dcb.ByteSize = static_cast<std::uint8_t>(5 + static_cast<int>(dataBits_));
    dcb.Parity = static_cast<std::uint8_t>(parity_->Bits());
    dcb.StopBits = static_cast<std::uint8_t>(stopBits_);
    const auto limit =
        static_cast<std::uint16_t>(static_cast<std::uint32_t>(buffer_->InputSize() / 4) & 0xFFFFu);
    dcb.XonLim = limit;
    dcb.XoffLim = limit;
    dcb.XonChar = flowControl_->XonChar();
    dcb.XoffChar = flowControl_->XoffChar();
    const bool replace = parity_->Check() && parity_->Replace();
    dcb.ErrorChar = replace ? parity_->ReplaceChar() : 0;
    dcb.EvtChar = eventChar_;

    std::uint32_t flags = dcb::fBinary;
    if (parity_->Check()) {
        flags |= dcb::fParity;
    }
    if (flowControl_->OutCTSFlow()) {
        flags |= dcb::fOutxCtsFlow;
    }
    if (flowControl_->OutDSRFlow()) {
        flags |= dcb::fOutxDsrFlow;
    }
    switch (flowControl_->ControlDTR()) {
    case TDTRFlowControl::dtrDisable:
        break;
    case TDTRFlowControl::dtrEnable:
        flags |= dcb::fDtrControlEnable;
        break;
    case TDTRFlowControl::dtrHandshake:
        flags |= dcb::fDtrControlHandshake;
        break;
    }
    if (flowControl_->DSRSensitivity()) {
        flags |= dcb::fDsrSensitivity;
    }
    if (flowControl_->TxContinueOnXoff()) {
        flags |= dcb::fTXContinueOnXoff;
    }
    if (flowControl_->XonXoffOut()) {
        flags |= dcb::fOutX;
    }
    if (flowControl_->XonXoffIn()) {
        flags |= dcb::fInX;
    }
    if (replace) {
        flags |= dcb::fErrorChar;
    }
    if (discardNull_) {
        flags |= dcb::fNull;
    }
    switch (flowControl_->ControlRTS()) {
    case TRTSFlowControl::rtsDisable:
        break;
    case TRTSFlowControl::rtsEnable:
        flags |= dcb::fRtsControlEnable;
        break;
    case TRTSFlowControl::rtsHandshake:
        flags |= dcb::fRtsControlHandshake;
        break;
    case TRTSFlowControl::rtsToggle:
        flags |= dcb::fRtsControlToggle;
        break;
    }
    dcb.Flags = flags;
    return dcb;
}

CommTimeouts TCustomComPort::BuildTimeouts() const
{
    CommTimeouts t;
    t.ReadIntervalTimeout = static_cast<std::uint32_t>(timeouts_->ReadInterval());
    t.ReadTotalTimeoutMultiplier = static_cast<std::uint32_t>(timeouts_->ReadTotalMultiplier());
    t.ReadTotalTimeoutConstant = static_cast<std::uint32_t>(timeouts_->ReadTotalConstant());
    t.WriteTotalTimeoutMultiplier = static_cast<std::uint32_t>(timeouts_->WriteTotalMultiplier());
    t.WriteTotalTimeoutConstant = static_cast<std::uint32_t>(timeouts_->WriteTotalConstant());
    return t;
}

void TCustomComPort::ApplyDCB()
{
    if (!Applicable()) {
        return;
    }
    if (!device_->SetState(BuildDcb())) {
        RaiseLastError(port_error::SetStateFailed);
    }
}

void TCustomComPort::ApplyTimeouts()
{
    if (!Applicable()) {
        return;
    }
    if (!device_->SetTimeouts(BuildTimeouts())) {
        RaiseLastError(port_error::SetTimeoutsFailed);
    }
}

void TCustomComPort::ApplyBuffer()
{
    if (!Applicable()) {
        return;
    }
    if (!device_->SetupQueues(static_cast<std::uint32_t>(buffer_->InputSize()),
                              static_cast<std::uint32_t>(buffer_->OutputSize()))) {
        RaiseLastError(port_error::SetupComFailed);
    }
}

// Queries

std::int32_t TCustomComPort::InputCount()
{
    std::uint32_t errors = 0;
    ComStat stat;
    if (!device_->ClearErrors(errors, stat)) {
        RaiseLastError(port_error::ClearComFailed);
    }
    return static_cast<std::int32_t>(stat.cbInQue);
}

TModemLines TCustomComPort::ModemSignals()
{
    std::uint32_t status = 0;
    if (!device_->ModemStatus(status)) {
        RaiseLastError(port_error::ModemStatFailed);
    }
    return TModemLines::FromBits(static_cast<std::uint8_t>((status >> 4) & 0x0Fu));
}

TComErrors TCustomComPort::ReadLineErrors()
{
    std::uint32_t flags = 0;
    ComStat stat;
    if (!device_->ClearErrors(flags, stat)) {
        RaiseLastError(port_error::ClearComFailed);
    }
    TComErrors errors;
    if ((flags & ce::FRAME) != 0) {
        errors.Include(TComError::ceFrame);
    }
    if ((flags & ce::RXPARITY) != 0 && parity_->Check()) {
        errors.Include(TComError::ceRxParity);
    }
    if ((flags & ce::OVERRUN) != 0) {
        errors.Include(TComError::ceOverrun);
    }
    if ((flags & ce::RXOVER) != 0) {
        errors.Include(TComError::ceRxOver);
    }
    if ((flags & ce::TXFULL) != 0) {
        errors.Include(TComError::ceTxFull);
    }
    if ((flags & ce::BREAK) != 0) {
        errors.Include(TComError::ceBreak);
    }
    if ((flags & ce::IOE) != 0) {
        errors.Include(TComError::ceIO);
    }
    if ((flags & ce::MODE) != 0) {
        errors.Include(TComError::ceMode);
    }
    return errors;
}

} // namespace lantorvix
