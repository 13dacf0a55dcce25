#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lantorvix {

// Held for as long as this copy of the program is the one running; releasing it (or the
// process ending, however it ends) frees the name for the next copy.
class SingleInstanceGuard {
public:
    virtual ~SingleInstanceGuard() = default;
};

// One serial port of the machine: the name the list is sorted by, and the port name.
struct SerialPortEntry {
    std::string valueName; // Windows: the serialcomm value name; Linux: the sysfs path
    std::string portName;  // what the user picks and the port opens: "COM3", "ttyUSB0", "/dev/pts/4"
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

// What the program needs from the machine, named for what it does: the single-instance
// guard, the executable's path, where the settings file is, the serial ports present, and
// the autostart entry. The public operations are the program's; each platform (posix/:
// lock file, XDG autostart, sysfs, /proc; win32/: named mutex, HKLM Run key, HKLM
// serialcomm, GetModuleFileName; a fake in the tests) supplies the steps below them.
//
// Thread-safety: main thread only. The platform steps hold no shared state beyond their
// configuration.
class SystemServices {
public:
    static constexpr const char* kMutexName = "QV_LantorvixMutex";
    static constexpr const char* kSettingsFile = "Lantorvix.ini";
    enum class AutostartWrite { written, storeUnavailable };

    virtual ~SystemServices() = default;

    // Takes the guard and keeps it for this object's life; false when another copy holds
    // it, which is the only case that refuses start-up (a lock that cannot be made at all
    // lets the program start).
    bool AcquireSingleInstance();
    // Full path of the running executable, as the system reports it.
    virtual std::string ExecutablePath() = 0;
    // The settings file to read and write.
    std::string SettingsFileName() { return SettingsFilePath(kSettingsFile); }
    // The serial ports present, sorted by value name without regard to ASCII letter case.
    // configuredPort is the port the settings name: a platform lists it too when it can
    // open it although the system does not list it (on Linux an absolute path to a
    // character device, e.g. a pseudo-terminal).
    std::vector<SerialPortEntry> SerialPorts(const std::string& configuredPort);
    // The data of the autostart entry of that name: empty when there is none; nothing when
    // the store cannot be read at all.
    std::optional<std::string> ReadAutostart(const std::string& name);
    // Stores (data) or removes (nothing) the entry; removing a missing one is fine.
    // storeUnavailable when the store cannot be opened for writing; throws Exception
    // "Failed to set data for '<name>'" when storing failed after it was opened.
    AutostartWrite WriteAutostart(const std::string& name, const std::optional<std::string>& data);

protected:
    // The guard for the named single instance; nothing when another running copy holds it.
    virtual std::unique_ptr<SingleInstanceGuard> LockSingleInstance(std::string_view name) = 0;
    // The autostart store; nothing when it cannot be opened with that access.
    virtual std::unique_ptr<AutostartStore> OpenAutostart(AutostartAccess access) = 0;
    // The serial ports present, in any order (see SerialPorts).
    virtual std::vector<SerialPortEntry> EnumerateSerialPorts(std::string_view configuredPort) = 0;
    // Where the settings file of that name is read and written: the file in the working
    // directory when it exists there; otherwise beside the executable (Windows) or in
    // $XDG_CONFIG_HOME/Lantorvix/ (Linux; the folder is not created here, the first save
    // makes it).
    virtual std::string SettingsFilePath(std::string_view fileName) = 0;

private:
    std::unique_ptr<SingleInstanceGuard> guard_;
};

// The services of the platform the program was built for.
std::unique_ptr<SystemServices> CreateSystemServices();

} // namespace lantorvix
