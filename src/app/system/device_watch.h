#pragma once

#include <functional>
#include <memory>
#include <string>

namespace lantorvix {

class MainThreadDispatcher;

// Watches for a serial port that has gone (or is not there yet) to come back. It does not
// open anything: it only tells its owner when opening the port is worth trying again.
// Linux: inotify on the folder that holds the device node or the configured path (so /dev,
// /dev/serial/by-id and a simulator's folder all work), with a one-second retry as the
// fallback; Windows: WM_DEVICECHANGE port arrivals plus a one-second retry timer. A fake
// for tests. While nothing is watched, nothing wakes.
//
// Thread-safety: Watch, Stop and the destructor run on the main thread; chance is called
// there too, never after Stop or the destructor returned.
class DeviceWatch {
public:
    virtual ~DeviceWatch() = default;

    // Starts watching for portName (the name as the port opens it: "COM5", "ttyUSB0" or an
    // absolute path); replaces any earlier watch. chance runs whenever the port may be back:
    // a change at its name, a device arrival, or the retry tick while it is away.
    virtual void Watch(const std::string& portName, std::function<void()> chance) = 0;
    // While the port is open: removed runs when the system reports the port's device gone
    // (Windows: its removal notice), before the driver fails the port's pending wait. Where
    // the port itself reports the loss at once (Linux: the hang-up), nothing is watched.
    // Watch and WatchRemoval replace each other.
    virtual void WatchRemoval(const std::string& portName, std::function<void()> removed) = 0;
    // Ends the watch, or the removal watch; does nothing when none runs.
    virtual void Stop() = 0;
    // True while waiting for the port to come back (not for a removal watch).
    virtual bool Watching() const = 0;
};

// The platform's watch; it hands its chances to the main thread through the dispatcher (or
// the thread's own message loop), which must outlive it.
std::unique_ptr<DeviceWatch> CreateDeviceWatch(MainThreadDispatcher& dispatcher);

} // namespace lantorvix
