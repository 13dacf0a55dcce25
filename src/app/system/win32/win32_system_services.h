#pragma once

#include "app/system/system_services.h"

namespace lantorvix {

// SystemServices on Windows: a named mutex (not initially owned, taken with a 0 ms wait;
// only WAIT_TIMEOUT means another copy runs), the machine-wide Run key, the serial ports of
// HKLM\hardware\devicemap\serialcomm and GetModuleFileName. The platform steps are public
// here for their tests.
class Win32SystemServices final : public SystemServices {
public:
    std::unique_ptr<SingleInstanceGuard> LockSingleInstance(std::string_view name) override;
    std::unique_ptr<AutostartStore> OpenAutostart(AutostartAccess access) override;
    std::vector<SerialPortEntry> EnumerateSerialPorts(std::string_view configuredPort) override;
    std::string ExecutablePath() override;
    std::string SettingsFilePath(std::string_view fileName) override;
};

} // namespace lantorvix
