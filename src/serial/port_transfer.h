#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "serial/com_types.h"
#include "serial/comm_device.h"

namespace lantorvix {

// One transfer on the port's device: the device's completion record plus what the port
// needs to finish it. Made by TCustomComPort::NewTransfer, freed by DisposeTransfer.
struct TPortTransfer {
    std::unique_ptr<DeviceTransfer> Overlapped;
    TTransferKind Kind = TTransferKind::xkWrite;
    std::vector<char> OutData; // private copy of the bytes being written; empty for reads
    std::int32_t OutSize = 0;
};

using PPortTransfer = std::unique_ptr<TPortTransfer>;

} // namespace lantorvix
