#include <algorithm>
#include <vector>

#include "serial/com_port.h"

namespace lantorvix {

// Handling operations: gather what the event needs, tell the links, then emit.

void TCustomComPort::HandleRxChar()
{
    std::int32_t Count = InputCount();
    if (Count > 0) {
        NotifyLinksSignal(&TPortLink::OnRx, true);
    }
    DeliverRxData(Count);
    if (Count > 0) {
        EmitRxChar(Count);
    }
}

void TCustomComPort::DeliverRxData(std::int32_t& Count)
{
    if (Count <= 0 || ReportsByCount()) {
        return;
    }
    bool read = false;
    std::vector<char> buffer;
    std::int32_t received = 0;
    struct ClearWhenRead {
        bool& read;
        std::int32_t& count;
        ~ClearWhenRead()
        {
            if (read) {
                count = 0;
            }
        }
    } clear{read, Count};
    for (TPortLink* link : std::vector<TPortLink*>(linkList_)) {
        if (!link->OnRxBuf) {
            continue;
        }
        if (!read) {
            read = true;
            received = ReadAndEmitRxBuf(buffer, Count);
        }
        link->OnRxBuf(*this, buffer.data(), received);
    }
    if (!read && !rxCharNotify_) {
        read = true;
        ReadAndEmitRxBuf(buffer, Count);
    }
}

std::int32_t TCustomComPort::ReadAndEmitRxBuf(std::vector<char>& buffer, std::int32_t Count)
{
    buffer.assign(static_cast<std::size_t>(Count), 0);
    // Only the bytes actually read are handed out, never the unfilled rest of the buffer.
    const std::int32_t received = ReadBytes(buffer.data(), Count);
    buffer.resize(static_cast<std::size_t>(std::max<std::int32_t>(received, 0)));
    EmitRxBuf(buffer.data(), received);
    return received;
}

void TCustomComPort::HandleRxFlag()
{
    NotifyLinksEvent(&TPortLink::OnRxFlag);
    EmitRxFlag();
}

void TCustomComPort::HandleTxEmpty()
{
    NotifyLinksSignal(&TPortLink::OnTx, false);
    NotifyLinksEvent(&TPortLink::OnTxEmpty);
    EmitTxEmpty();
}

void TCustomComPort::HandleBreak()
{
    EmitBreak();
}

void TCustomComPort::HandleRing()
{
    NotifyLinksEvent(&TPortLink::OnRing);
    EmitRing();
}

void TCustomComPort::HandleCTSChange()
{
    const bool OnOff = ModemSignals().Contains(TModemLine::mlCTS);
    NotifyLinksSignal(&TPortLink::OnCTSChange, OnOff);
    EmitCTSChange(OnOff);
}

void TCustomComPort::HandleDSRChange()
{
    const bool OnOff = ModemSignals().Contains(TModemLine::mlDSR);
    NotifyLinksSignal(&TPortLink::OnDSRChange, OnOff);
    EmitDSRChange(OnOff);
}

void TCustomComPort::HandleRLSDChange()
{
    const bool OnOff = ModemSignals().Contains(TModemLine::mlRLSD);
    NotifyLinksSignal(&TPortLink::OnRLSDChange, OnOff);
    EmitRLSDChange(OnOff);
}

void TCustomComPort::HandleError()
{
    const TComErrors errors = ReadLineErrors();
    if (!errors.Empty()) {
        EmitError(errors);
    }
}

void TCustomComPort::HandleDeviceLost()
{
    if (Connected() && OnDeviceLost) {
        OnDeviceLost(*this);
    }
}

void TCustomComPort::HandleRx80Full()
{
    EmitRx80Full();
}

void TCustomComPort::HandleBeforeOpen()
{
    EmitBeforeOpen();
}

void TCustomComPort::HandleAfterOpen()
{
    NotifyLinksSignal(&TPortLink::OnConn, true);
    EmitAfterOpen();
    ReportModemLines(true);
}

void TCustomComPort::HandleBeforeClose()
{
    ReportModemLines(false);
    EmitBeforeClose();
}

void TCustomComPort::HandleAfterClose()
{
    NotifyLinksSignal(&TPortLink::OnConn, false);
    EmitAfterClose();
}

bool TCustomComPort::LineState(std::uint32_t statusBit)
{
    std::uint32_t status = 0;
    return device_->ModemStatus(status) && (status & statusBit) != 0;
}

void TCustomComPort::ReportModemLines(bool on)
{
    if (on) {
        // A line whose state cannot be read counts as off: the open itself succeeded.
        const bool cts = LineState(ms::CTS_ON);
        NotifyLinksSignal(&TPortLink::OnCTSChange, cts);
        EmitCTSChange(cts);
        const bool dsr = LineState(ms::DSR_ON);
        NotifyLinksSignal(&TPortLink::OnDSRChange, dsr);
        EmitDSRChange(dsr);
        const bool rlsd = LineState(ms::RLSD_ON);
        NotifyLinksSignal(&TPortLink::OnRLSDChange, rlsd);
        EmitRLSDChange(rlsd);
        return;
    }
    NotifyLinksSignal(&TPortLink::OnCTSChange, false);
    NotifyLinksSignal(&TPortLink::OnDSRChange, false);
    NotifyLinksSignal(&TPortLink::OnRLSDChange, false);
    EmitCTSChange(false);
    EmitDSRChange(false);
    EmitRLSDChange(false);
}

// Links

void TCustomComPort::RegisterLink(TPortLink& link)
{
    if (std::find(linkList_.begin(), linkList_.end(), &link) != linkList_.end()) {
        throw EComPort(port_error::RegFailed);
    }
    linkList_.push_back(&link);
    if (link.OnRxBuf) {
        rxBufLinked_ = true;
    }
}

void TCustomComPort::UnregisterLink(TPortLink& link)
{
    const auto it = std::find(linkList_.begin(), linkList_.end(), &link);
    if (it == linkList_.end()) {
        throw EComPort(port_error::RegFailed);
    }
    linkList_.erase(it);
    rxBufLinked_ =
        std::any_of(linkList_.begin(), linkList_.end(), [](const TPortLink* l) { return bool(l->OnRxBuf); });
}

void TCustomComPort::NotifyLinksSignal(TComSignalEvent TPortLink::*handler, bool OnOff)
{
    for (TPortLink* link : std::vector<TPortLink*>(linkList_)) {
        if (link->*handler) {
            (link->*handler)(*this, OnOff);
        }
    }
}

void TCustomComPort::NotifyLinksEvent(TNotifyEvent TPortLink::*handler)
{
    for (TPortLink* link : std::vector<TPortLink*>(linkList_)) {
        if (link->*handler) {
            (link->*handler)(*this);
        }
    }
}

void TCustomComPort::NotifyLinksTxData(const void* Buffer, std::int32_t Count)
{
    for (TPortLink* link : std::vector<TPortLink*>(linkList_)) {
        if (link->OnTxBuf) {
            link->OnTxBuf(*this, Buffer, Count);
        }
    }
}

// Emit operations: call the handler when one is assigned.

void TCustomComPort::EmitAfterClose()
{
    if (OnAfterClose) {
        OnAfterClose(*this);
    }
}
void TCustomComPort::EmitAfterOpen()
{
    if (OnAfterOpen) {
        OnAfterOpen(*this);
    }
}
void TCustomComPort::EmitBeforeClose()
{
    if (OnBeforeClose) {
        OnBeforeClose(*this);
    }
}
void TCustomComPort::EmitBeforeOpen()
{
    if (OnBeforeOpen) {
        OnBeforeOpen(*this);
    }
}
void TCustomComPort::EmitRxChar(std::int32_t Count)
{
    if (OnRxChar) {
        OnRxChar(*this, Count);
    }
}
void TCustomComPort::EmitRxBuf(const void* Buffer, std::int32_t Count)
{
    if (OnRxBuf) {
        OnRxBuf(*this, Buffer, Count);
    }
}
void TCustomComPort::EmitTxEmpty()
{
    if (OnTxEmpty) {
        OnTxEmpty(*this);
    }
}
void TCustomComPort::EmitBreak()
{
    if (OnBreak) {
        OnBreak(*this);
    }
}
void TCustomComPort::EmitRing()
{
    if (OnRing) {
        OnRing(*this);
    }
}
void TCustomComPort::EmitRxFlag()
{
    if (OnRxFlag) {
        OnRxFlag(*this);
    }
}
void TCustomComPort::EmitCTSChange(bool OnOff)
{
    if (OnCTSChange) {
        OnCTSChange(*this, OnOff);
    }
}
void TCustomComPort::EmitDSRChange(bool OnOff)
{
    if (OnDSRChange) {
        OnDSRChange(*this, OnOff);
    }
}
void TCustomComPort::EmitError(TComErrors Errors)
{
    if (OnError) {
        OnError(*this, Errors);
    }
}
void TCustomComPort::EmitRLSDChange(bool OnOff)
{
    if (OnRLSDChange) {
        OnRLSDChange(*this, OnOff);
    }
}
void TCustomComPort::EmitRx80Full()
{
    if (OnRx80Full) {
        OnRx80Full(*this);
    }
}

} // namespace lantorvix
