#pragma once

#include "app/system/system_services.h"

#include <filesystem>
#include <vector>

namespace lantorvix {

// The tty devices under <sysfsRoot>/class/tty that have a device behind them (a "device"
// link), except legacy UART slots that report no UART ("type" 0). Value name: the device's
// sysfs path written below "/sys"; port name: the device's stable name when a link in
// <devRoot>/serial/by-id points at <devRoot>/<tty name> (that link's path), else the tty
// name. Unsorted.
std::vector<SerialPortEntry> ListSysfsSerialPorts(const std::filesystem::path& sysfsRoot,
                                                  const std::filesystem::path& devRoot = "/dev");

} // namespace lantorvix
