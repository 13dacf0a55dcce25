#pragma once

#include "app/system/system_services.h"
#include "base/exception.h"

#include <utility>

namespace lantorvix::test {

// The machine as the tests script it: a single-instance flag, a port list, an autostart
// entry that can be unreadable, unwritable or fail to store.
class FakeSystem : public SystemServices {
public:
    bool singleInstanceFree = true;
    std::string exePath = "/opt/lantorvix/lantorvix";
    std::string settingsFile = "Lantorvix.ini";
    std::vector<std::pair<std::string, std::string>> ports;
    std::optional<std::string> autostart;
    std::string autostartName;
    bool autostartReadable = true;
    bool autostartWritable = true;
    bool autostartSetFails = false;
    std::string configuredPortSeen;

    std::string ExecutablePath() override { return exePath; }

protected:
    std::unique_ptr<SingleInstanceGuard> LockSingleInstance(std::string_view) override
    {
        return singleInstanceFree ? std::make_unique<SingleInstanceGuard>() : nullptr;
    }
    std::string SettingsFilePath(std::string_view) override { return settingsFile; }
    std::vector<SerialPortEntry> EnumerateSerialPorts(std::string_view configuredPort) override
    {
        configuredPortSeen = configuredPort;
        std::vector<SerialPortEntry> list;
        for (const auto& [value, name] : ports) {
            list.push_back({value, name});
        }
        return list;
    }
    std::unique_ptr<AutostartStore> OpenAutostart(AutostartAccess access) override
    {
        const bool open = access == AutostartAccess::ReadOnly ? autostartReadable : autostartWritable;
        return open ? std::make_unique<Store>(*this) : nullptr;
    }

private:
    struct Store final : AutostartStore {
        explicit Store(FakeSystem& s) : s_(s) {}
        std::string Read(std::string_view) override { return s_.autostart.value_or(""); }
        void Write(std::string_view name, std::string_view data) override
        {
            if (s_.autostartSetFails) {
                throw Exception("Failed to set data for '" + std::string(name) + "'");
            }
            s_.autostartName = name;
            s_.autostart = std::string(data);
        }
        void Remove(std::string_view name) override
        {
            s_.autostartName = name;
            s_.autostart.reset();
        }
        FakeSystem& s_;
    };
};

} // namespace lantorvix::test
