#pragma once

#include "app/system/device_watch.h"
#include "serial/posix/unique_fd.h"

#include <atomic>
#include <memory>
#include <optional>
#include <thread>

namespace lantorvix {

class MainThreadDispatcher;

// DeviceWatch on inotify. While a watch runs, one thread sleeps in poll() on an inotify
// descriptor (the folder holding the path, or its nearest existing ancestor while the folder
// itself is missing, as /dev/serial/by-id is when no USB serial device is plugged in) and a
// stop descriptor, with a one-second time-out as the retry (which wakes the main thread only
// when the path is there). While the port is open, a removal watch sleeps on the device node's
// folder alone (no time-out). Chances reach the main thread through the dispatcher, which the
// program's loop serves anyway (no second wake-up path into the desktop's loop); several that
// arrive before the main thread runs are merged.
//
// Thread-safety: as DeviceWatch; the dispatcher must outlive the object.
class InotifyDeviceWatch final : public DeviceWatch {
public:
    explicit InotifyDeviceWatch(MainThreadDispatcher& dispatcher);
    ~InotifyDeviceWatch() override;
    InotifyDeviceWatch(const InotifyDeviceWatch&) = delete;
    InotifyDeviceWatch& operator=(const InotifyDeviceWatch&) = delete;

    void Watch(const std::string& portName, std::function<void()> chance) override;
    // The device node's removal from its folder (/dev, /dev/pts), which the kernel makes as the
    // device goes: it reaches the main thread also while the port's event thread is held up
    // in a hand-over (a box open in the middle of a reception), when the port cannot tell.
    void WatchRemoval(const std::string& portName, std::function<void()> removed) override;
    void Stop() override;
    bool Watching() const override { return thread_.joinable() && !removalOnly_; }

private:
    struct Shared;
    // Starts the watch's thread over a fresh stop descriptor.
    template <typename Body> void Start(std::function<void()> call, Body body);
    // Posts the call to the main thread unless one waits there already.
    static void Post(MainThreadDispatcher& dispatcher, const std::shared_ptr<Shared>& shared);

    MainThreadDispatcher& dispatcher_;
    std::shared_ptr<Shared> shared_;
    std::optional<posix::WakeFd> stop_; // a fresh one per watch
    std::thread thread_;
    bool removalOnly_ = false;
};

} // namespace lantorvix
