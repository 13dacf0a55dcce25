#include "app/system/system_services.h"

#include "base/ascii.h"

#include <algorithm>

namespace lantorvix {

bool SystemServices::AcquireSingleInstance()
{
    if (!guard_) {
        guard_ = LockSingleInstance(kMutexName);
    }
    return guard_ != nullptr;
}

std::vector<SerialPortEntry> SystemServices::SerialPorts(const std::string& configuredPort)
{
    auto ports = EnumerateSerialPorts(configuredPort);
    std::sort(ports.begin(), ports.end(), [](const SerialPortEntry& a, const SerialPortEntry& b) {
        // Names equal but for case keep one order however the platform listed them.
        if (ascii::EqualIgnoringCase(a.valueName, b.valueName)) {
            return a.valueName < b.valueName;
        }
        return ascii::LessIgnoringCase(a.valueName, b.valueName);
    });
    return ports;
}

std::optional<std::string> SystemServices::ReadAutostart(const std::string& name)
{
    const auto store = OpenAutostart(AutostartAccess::ReadOnly);
    if (!store) {
        return std::nullopt;
    }
    return store->Read(name);
}

SystemServices::AutostartWrite SystemServices::WriteAutostart(const std::string& name,
                                                              const std::optional<std::string>& data)
{
    const auto store = OpenAutostart(AutostartAccess::ReadWrite);
    if (!store) {
        return AutostartWrite::storeUnavailable;
    }
    if (data) {
        store->Write(name, *data);
    } else {
        store->Remove(name);
    }
    return AutostartWrite::written;
}

} // namespace lantorvix
