#pragma once

#include <cstdint>
#include <functional>

namespace lantorvix {

class TCustomComPort;

// A component linked to a port: each assigned handler is told of the matching activity.
// Registered with TCustomComPort::RegisterLink; the link must outlive its registration.
struct TPortLink {
    std::function<void(TCustomComPort& Sender, bool OnOff)> OnConn;
    std::function<void(TCustomComPort& Sender, const void* Buffer, std::int32_t Count)> OnRxBuf;
    std::function<void(TCustomComPort& Sender, const void* Buffer, std::int32_t Count)> OnTxBuf;
    std::function<void(TCustomComPort& Sender)> OnTxEmpty;
    std::function<void(TCustomComPort& Sender)> OnRxFlag;
    std::function<void(TCustomComPort& Sender, bool OnOff)> OnCTSChange;
    std::function<void(TCustomComPort& Sender, bool OnOff)> OnDSRChange;
    std::function<void(TCustomComPort& Sender, bool OnOff)> OnRLSDChange;
    std::function<void(TCustomComPort& Sender)> OnRing;
    std::function<void(TCustomComPort& Sender, bool OnOff)> OnTx;
    std::function<void(TCustomComPort& Sender, bool OnOff)> OnRx;
};

} // namespace lantorvix
