#pragma once

#include "app/app_system.h"
#include "app/system/system_services.h"

#include <memory>

namespace lantorvix {

// AppSystem over a SystemServices: the single-instance name, the settings file name and
// the autostart store's open/write/remove steps as the main window logic uses them. Keeps
// the single-instance guard for its own lifetime. Main thread only.
class SystemAdapter final : public AppSystem {
public:
    static constexpr const char* kMutexName = "QV_LantorvixMutex";
    static constexpr const char* kSettingsFile = "Lantorvix.ini";

    explicit SystemAdapter(std::unique_ptr<SystemServices> services);

    bool AcquireSingleInstance() override;
    std::string ExecutablePath() override;
    std::string SettingsFileName() override;
    std::vector<SerialPort> SerialPorts(const std::string& configuredPort) override;
    std::optional<std::string> ReadAutostart(const std::string& name) override;
    AutostartWrite WriteAutostart(const std::string& name, const std::optional<std::string>& data) override;

private:
    std::unique_ptr<SystemServices> services_;
    std::unique_ptr<SingleInstanceGuard> guard_;
};

} // namespace lantorvix
