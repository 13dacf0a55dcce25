#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lantorvix {

// What the main window logic needs from the machine, named for what it does: the
// single-instance guard, the executable's path, where the settings file is, the serial
// ports present, and the autostart entry. Implemented over the platform's SystemServices
// (SystemAdapter) and by a fake in the tests. Main thread only.
class AppSystem {
public:
    struct SerialPort {
        std::string valueName; // the key the port list is sorted by (device name or path)
        std::string portName;  // what the user picks and the port opens ("COM3", "ttyUSB0")
    };
    enum class AutostartWrite { written, storeUnavailable };

    virtual ~AppSystem() = default;

    // Takes the guard; false when another copy holds it.
    virtual bool AcquireSingleInstance() = 0;
    // Full path of the running executable, as the system reports it.
    virtual std::string ExecutablePath() = 0;
    // The settings file to read and write.
    virtual std::string SettingsFileName() = 0;
    // The serial ports present, in any order; configuredPort is the port the settings name
    // (a platform may list it too when it exists but is not a system port, e.g. a
    // pseudo-terminal's path).
    virtual std::vector<SerialPort> SerialPorts(const std::string& configuredPort) = 0;
    // The data of the autostart entry of that name: empty when there is none; nothing when
    // the store cannot be read at all.
    virtual std::optional<std::string> ReadAutostart(const std::string& name) = 0;
    // Stores (data) or removes (nothing) the entry; removing a missing one is fine.
    // storeUnavailable when the store cannot be opened for writing; throws Exception
    // "Failed to set data for '<name>'" when storing failed after it was opened.
    virtual AutostartWrite WriteAutostart(const std::string& name, const std::optional<std::string>& data) = 0;
};

} // namespace lantorvix
