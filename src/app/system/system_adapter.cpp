#include "app/system/system_adapter.h"

namespace lantorvix {

SystemAdapter::SystemAdapter(std::unique_ptr<SystemServices> services) : services_(std::move(services)) {}

bool SystemAdapter::AcquireSingleInstance()
{
    if (!guard_) {
        guard_ = services_->AcquireSingleInstance(kMutexName);
    }
    return guard_ != nullptr;
}

std::string SystemAdapter::ExecutablePath()
{
    return services_->ExecutablePath();
}

std::string SystemAdapter::SettingsFileName()
{
    return services_->SettingsFilePath(kSettingsFile);
}

std::vector<AppSystem::SerialPort> SystemAdapter::SerialPorts(const std::string& configuredPort)
{
    std::vector<SerialPort> ports;
    for (auto& entry : services_->EnumerateSerialPorts(configuredPort)) {
        ports.push_back({std::move(entry.valueName), std::move(entry.portName)});
    }
    return ports;
}

std::optional<std::string> SystemAdapter::ReadAutostart(const std::string& name)
{
    const auto store = services_->OpenAutostart(AutostartAccess::ReadOnly);
    if (!store) {
        return std::nullopt;
    }
    return store->Read(name);
}

AppSystem::AutostartWrite SystemAdapter::WriteAutostart(const std::string& name,
                                                        const std::optional<std::string>& data)
{
    const auto store = services_->OpenAutostart(AutostartAccess::ReadWrite);
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

std::unique_ptr<AppSystem> CreateSystemServices()
{
    return std::make_unique<SystemAdapter>(CreatePlatformSystemServices());
}

} // namespace lantorvix
