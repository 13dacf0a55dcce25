#pragma once

#include "app/system/system_services.h"

#include <filesystem>
#include <vector>

namespace lantorvix {

// The tty devices under <sysfsRoot>/class/tty that have a device behind them (a "device"
// link), except legacy UART slots that report no UART ("type" 0). Value name: the device's
// sysfs path written below "/sys"; port name: the tty name. Unsorted.
std::vector<SerialPortEntry> ListSysfsSerialPorts(const std::filesystem::path& sysfsRoot);

} // namespace lantorvix
