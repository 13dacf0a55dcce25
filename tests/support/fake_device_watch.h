#pragma once

#include "app/system/device_watch.h"

#include <string>
#include <utility>

namespace lantorvix::test {

// A DeviceWatch the test drives: it remembers what is watched, and Chance() delivers a
// chance as the platform would (a device notice or a retry tick). One test thread.
class FakeDeviceWatch : public DeviceWatch {
public:
    void Watch(const std::string& portName, std::function<void()> chance) override
    {
        removed_ = nullptr;
        watched = portName;
        chance_ = std::move(chance);
    }
    void WatchRemoval(const std::string& portName, std::function<void()> removed) override
    {
        chance_ = nullptr;
        removalWatched = portName;
        removed_ = std::move(removed);
    }
    void Stop() override
    {
        chance_ = nullptr;
        removed_ = nullptr;
    }
    bool Watching() const override { return static_cast<bool>(chance_); }

    // Returns false when nothing is watched.
    bool Chance()
    {
        if (!chance_) {
            return false;
        }
        const auto call = chance_;
        call();
        return true;
    }

    // The system's removal notice for the watched open port; false when none is watched.
    bool Removed()
    {
        if (!removed_) {
            return false;
        }
        const auto call = removed_;
        call();
        return true;
    }

    std::string watched;
    std::string removalWatched;

private:
    std::function<void()> chance_;
    std::function<void()> removed_;
};

} // namespace lantorvix::test
