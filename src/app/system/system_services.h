#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lantorvix {

class AppSystem;

// Held for as long as this copy of the program is the one running; releasing it (or the
// process ending, however it ends) frees the name for the next copy.
class SingleInstanceGuard {
public:
    virtual ~SingleInstanceGuard() = default;
};

// One serial port of the machine: the name the list is sorted by, and the port name.
struct SerialPortEntry {
    std::string valueName; // Windows: the serialcomm value name; Linux: the sysfs path
    std::string portName;  // what the port opens: "COM3", "ttyUSB0", "/dev/pts/4"
};

// The machine's autostart entries, opened for reading or for writing.
class AutostartStore {
public:
    virtual ~AutostartStore() = default;
    // The entry's data (the command it starts); empty when there is none.
    virtual std::string Read(std::string_view name) = 0;
    // Both raise Exception "Failed to set data for '<name>'" when the change cannot be made;
    // removing an entry that does not exist is not an error.
    virtual void Write(std::string_view name, std::string_view data) = 0;
    virtual void Remove(std::string_view name) = 0;
};

enum class AutostartAccess { ReadOnly, ReadWrite };

// The platform services the program needs beyond its window and devices. Implementations:
// posix/ (lock file, XDG autostart, sysfs, /proc) and win32/ (named mutex, HKLM Run key,
// HKLM serialcomm, GetModuleFileName).
//
// Thread-safety: the implementations hold no shared state beyond their configuration, so
// one object may serve several threads, but the program calls them from the main thread.
class SystemServices {
public:
    virtual ~SystemServices() = default;

    // The guard for the named single instance; nothing when another running copy holds it,
    // which is the only case that refuses start-up (a lock that cannot be made at all lets
    // the program start).
    virtual std::unique_ptr<SingleInstanceGuard> AcquireSingleInstance(std::string_view name) = 0;
    // The autostart store; nothing when it cannot be opened with that access.
    virtual std::unique_ptr<AutostartStore> OpenAutostart(AutostartAccess access) = 0;
    // The serial ports present, sorted by value name without regard to letter case.
    // configuredPort is listed too when the platform can open it although the system does
    // not list it (on Linux an absolute path to a character device, e.g. a pseudo-terminal).
    virtual std::vector<SerialPortEntry> EnumerateSerialPorts(std::string_view configuredPort) = 0;
    // Full path of the running executable, as the system reports it.
    virtual std::string ExecutablePath() = 0;
    // Where the settings file of that name is read and written: the file in the working
    // directory when it exists there; otherwise beside the executable (Windows) or in
    // $XDG_CONFIG_HOME/Lantorvix/ (Linux; the folder is not created here, the first save
    // makes it).
    virtual std::string SettingsFilePath(std::string_view fileName) = 0;
};

// The services of the platform the program was built for.
std::unique_ptr<SystemServices> CreatePlatformSystemServices();

// The application's system seam (app/app_system.h) over the platform's services.
std::unique_ptr<AppSystem> CreateSystemServices();

} // namespace lantorvix
