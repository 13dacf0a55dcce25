#pragma once

#include "app/system/device_identity.h"

#include <filesystem>

namespace lantorvix {

// DeviceIdentity from sysfs: a kernel-named tty's "device" link leads up to its USB device,
// whose idVendor and idProduct, with its serial number (or, without one, its physical port
// path, the device folder's name such as "1-1.2"), tell it apart.
class SysfsDeviceIdentity final : public DeviceIdentity {
public:
    explicit SysfsDeviceIdentity(std::filesystem::path sysfsRoot = "/sys");

    std::string Identify(const std::string& portName) override;
    std::string FindPort(const std::string& identity) override;

private:
    std::filesystem::path sysfsRoot_;
};

} // namespace lantorvix
