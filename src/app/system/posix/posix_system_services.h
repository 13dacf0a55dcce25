#pragma once

#include "app/system/system_services.h"

#include <filesystem>

namespace lantorvix {

// Where the POSIX services look; FromEnvironment gives the real places, tests give temp dirs.
struct PosixSystemPaths {
    std::filesystem::path runtimeDir;   // lock files: $XDG_RUNTIME_DIR, else the temp dir
    std::filesystem::path autostartDir; // first of $XDG_CONFIG_DIRS (default /etc/xdg) + /autostart
    std::filesystem::path sysfsRoot;    // /sys
    std::filesystem::path devRoot;      // /dev: device nodes and their serial/by-id names
    std::filesystem::path workingDir;   // "." : the settings file is looked for here first
    std::filesystem::path configHome;   // $XDG_CONFIG_HOME, else ~/.config
    std::filesystem::path selfExe;      // /proc/self/exe

    static PosixSystemPaths FromEnvironment();
};

// SystemServices on Linux: an flock'ed lock file named after the single-instance name (the
// lock dies with the process), a desktop entry "<name>.desktop" whose Exec= holds the
// command (written machine-wide when this process may, else in the user's autostart folder;
// the user's entry is read first), the tty devices of sysfs that have a device behind them,
// and /proc/self/exe. The platform steps are public here for their tests.
class PosixSystemServices final : public SystemServices {
public:
    explicit PosixSystemServices(PosixSystemPaths paths);

    std::unique_ptr<SingleInstanceGuard> LockSingleInstance(std::string_view name) override;
    std::unique_ptr<AutostartStore> OpenAutostart(AutostartAccess access) override;
    std::vector<SerialPortEntry> EnumerateSerialPorts(std::string_view configuredPort) override;
    std::string ExecutablePath() override;
    std::string SettingsFilePath(std::string_view fileName) override;

private:
    PosixSystemPaths paths_;
};

} // namespace lantorvix
