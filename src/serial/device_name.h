#pragma once

#include <string>
#include <string_view>

namespace lantorvix {

// The device a port name opens. Windows: "\\.\" followed by the name, always, so that
// COM10 and above open like COM1. POSIX: an absolute path as it is, any other name below
// /dev ("ttyUSB0" -> "/dev/ttyUSB0").
std::string Win32DeviceName(std::string_view portName);
std::string PosixDeviceName(std::string_view portName);

} // namespace lantorvix
