#pragma once

#include <string>

namespace lantorvix {

// Tells one serial device from another behind kernel port names ("ttyUSB0"), which the
// kernel hands out again to whatever device comes next. Linux reads sysfs (the USB vendor,
// product and serial number, else vendor, product and the physical port path); a fake feeds
// the tests; Windows has none (its COM names stay with the device).
//
// Thread-safety: main thread only.
class DeviceIdentity {
public:
    virtual ~DeviceIdentity() = default;

    // The identity of the device behind the port now; empty when the port is absent, not a
    // USB device, or not a kernel name (an absolute path names its device for good).
    virtual std::string Identify(const std::string& portName) = 0;
    // The kernel name of a present port whose device has that identity; empty when none.
    virtual std::string FindPort(const std::string& identity) = 0;
};

} // namespace lantorvix
