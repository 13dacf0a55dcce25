#pragma once

#include "app/app_system.h"
#include "base/exception.h"

#include <utility>

namespace lantorvix::test {

// The machine as the tests script it: a single-instance flag, a port list, an autostart
// entry that can be unreadable, unwritable or fail to store.
class FakeSystem : public AppSystem {
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

    bool AcquireSingleInstance() override { return singleInstanceFree; }
    std::string ExecutablePath() override { return exePath; }
    std::string SettingsFileName() override { return settingsFile; }
    std::vector<SerialPort> SerialPorts(const std::string& configuredPort) override
    {
        configuredPortSeen = configuredPort;
        std::vector<SerialPort> list;
        for (const auto& [value, name] : ports) {
            list.push_back({value, name});
        }
        return list;
    }
    std::optional<std::string> ReadAutostart(const std::string&) override
    {
        if (!autostartReadable) {
            return std::nullopt;
        }
        return autostart.value_or("");
    }
    AutostartWrite WriteAutostart(const std::string& name, const std::optional<std::string>& data) override
    {
        if (!autostartWritable) {
            return AutostartWrite::storeUnavailable;
        }
        if (data && autostartSetFails) {
            throw Exception("Failed to set data for '" + name + "'");
        }
        autostartName = name;
        autostart = data;
        return AutostartWrite::written;
    }
};

} // namespace lantorvix::test
