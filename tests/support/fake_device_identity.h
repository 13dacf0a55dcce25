#pragma once

#include "app/system/device_identity.h"

#include <map>
#include <string>

namespace lantorvix::test {

// The devices behind the kernel port names, as the test plugs them: port name → identity.
// Ports not in the map have no identity (absent, or not a USB device).
class FakeDeviceIdentity : public DeviceIdentity {
public:
    std::map<std::string, std::string> devices;

    std::string Identify(const std::string& portName) override
    {
        const auto it = devices.find(portName);
        return it == devices.end() ? std::string() : it->second;
    }
    std::string FindPort(const std::string& identity) override
    {
        for (const auto& [port, id] : devices) {
            if (id == identity) {
                return port;
            }
        }
        return {};
    }
};

} // namespace lantorvix::test
