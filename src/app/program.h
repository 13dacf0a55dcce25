#pragma once

#include "app/shell.h"
#include "app/system/device_identity.h"
#include "app/system/device_watch.h"
#include "app/system/system_services.h"
#include "base/codepage.h"
#include "keys/keyboard_platform.h"
#include "serial/comm_device.h"
#include "serial/main_thread_dispatcher.h"

#include <functional>
#include <memory>
#include <string>

namespace lantorvix {

// What only the platform knows, handed in by each program's main; everything else, and the
// order it is brought up in, belongs to RunProgram.
struct ProgramParts {
    Shell& shell;
    SystemServices& system;
    // Wakes the main loop for the port's hand-overs; made once the dispatcher exists.
    std::function<std::unique_ptr<Waker>(MainThreadDispatcher&)> createWaker;
    // The key sender for the language's code page, showing its own boxes through showBox.
    // A failure (no way to type on this machine) is shown once and the program runs on.
    std::function<std::unique_ptr<KeyboardPlatform>(CodePage, MessageBoxHandler showBox)> createKeyboard;
    std::function<std::unique_ptr<CommDevice>()> createDevice;
    // Watches for the scanner's port to come back after it went away or was absent at start.
    std::function<std::unique_ptr<DeviceWatch>(MainThreadDispatcher&)> createDeviceWatch;
    std::string makerUrl;
    // Where the catalogues are looked up beside; empty: this program's own path.
    std::string executablePath = {};
    // Tells the scanner from another device that takes its kernel name; none: any device at
    // the name is taken for the scanner.
    std::function<std::unique_ptr<DeviceIdentity>()> createDeviceIdentity = {};
    // Calls `endProgram` on the main thread whenever the system asks the program to end
    // (SIGTERM, SIGINT, SIGHUP on Linux) while the returned object lives; empty: nothing to
    // watch.
    std::function<std::shared_ptr<void>(std::function<void()> endProgram)> watchEndRequests = {};
};

// The program entry, in this order: the translation of the built-in messages, the port's
// dispatcher and its waker, the single-instance guard (a second copy shows its warning, or
// brings the running copy's window forward where the desktop has no tray, and creates
// nothing more), the keyboard, the main window object (its FormCreate), the settings window
// when no port is open or no tray shows the program, the message loop. Every platform runs this one
// start-up. Returns the process exit code.
int RunProgram(const ProgramParts& parts);

} // namespace lantorvix
