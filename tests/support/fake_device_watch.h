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
        watched = portName;
        chance_ = std::move(chance);
    }
    void Stop() override { chance_ = nullptr; }
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

    std::string watched;

private:
    std::function<void()> chance_;
};

} // namespace lantorvix::test
