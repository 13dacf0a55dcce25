#include "serial/com_port.h"

namespace lantorvix {

void TCustomComPort::NewTransfer(PPortTransfer& transfer)
{
    auto record = std::make_unique<TPortTransfer>();
    record->Overlapped = device_->CreateTransfer();
    record->Kind = TTransferKind::xkWrite;
    record->OutSize = 0;
    transfer = std::move(record);
}

void TCustomComPort::DisposeTransfer(PPortTransfer& transfer)
{
    transfer.reset();
}

std::int32_t TCustomComPort::BeginReadBytes(void* Buffer, std::int32_t Count, PPortTransfer& transfer)
{
    if (!transfer) {
        throw EComPort(port_error::InvalidAsyncParameter);
    }
    transfer->Kind = TTransferKind::xkRead;
    // A negative count would reach the driver as a huge size: read nothing instead.
    const auto size = static_cast<std::uint32_t>(Count > 0 ? Count : 0);
    const ReadStart start = device_->BeginRead(*transfer->Overlapped, Buffer, size);
    if (start.status == ReadStartStatus::failed) {
        RaiseLastError(port_error::ReadFailed);
    }
    return start.status == ReadStartStatus::completed ? static_cast<std::int32_t>(start.bytes) : 0;
}

std::int32_t TCustomComPort::ReadBytes(void* Buffer, std::int32_t Count)
{
    PPortTransfer transfer;
    NewTransfer(transfer);
    BeginReadBytes(Buffer, Count, transfer);
    return AwaitTransfer(transfer);
    // transfer is disposed on every path, also when a step raised
}

std::int32_t TCustomComPort::BeginReadText(std::string& Str, std::int32_t Count, PPortTransfer& transfer)
{
    Str.assign(static_cast<std::size_t>(Count > 0 ? Count : 0), '\0');
    if (Count <= 0) {
        return 0;
    }
    return BeginReadBytes(Str.data(), Count, transfer);
}

std::int32_t TCustomComPort::ReadText(std::string& Str, std::int32_t Count)
{
    PPortTransfer transfer;
    NewTransfer(transfer);
    BeginReadText(Str, Count, transfer);
    const std::int32_t n = AwaitTransfer(transfer);
    Str.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    return n;
}

std::int32_t TCustomComPort::AwaitTransfer(PPortTransfer& transfer)
{
    if (!transfer) {
        throw EComPort(port_error::InvalidAsyncParameter);
    }
    std::uint32_t bytes = 0;
    if (!device_->AwaitTransfer(*transfer->Overlapped, bytes)) {
        RaiseLastError(transfer->Kind == TTransferKind::xkWrite ? port_error::WriteFailed
                                                                : port_error::ReadFailed);
    }
    if (transfer->Kind == TTransferKind::xkRead && InputCount() == 0) {
        NotifyLinksSignal(&TPortLink::OnRx, false);
    } else if (!transfer->OutData.empty()) {
        NotifyLinksTxData(transfer->OutData.data(), transfer->OutSize);
    }
    return static_cast<std::int32_t>(bytes);
}

void TCustomComPort::AbortTransfers()
{
    if (!device_->Purge(purge::TXABORT | purge::RXABORT)) {
        RaiseLastError(port_error::PurgeFailed);
    }
}

} // namespace lantorvix
