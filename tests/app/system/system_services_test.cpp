#include "app/system/system_services.h"

#include "base/exception.h"

#include <gtest/gtest.h>

#include <map>

namespace lantorvix {
namespace {

// Scripted platform steps that record what the program's operations asked for.
struct Script {
    bool instanceHeld = false;
    std::vector<std::string> lockNames;
    int guardsAlive = 0;
    bool autostartReadable = true;
    bool autostartWritable = true;
    std::map<std::string, std::string> autostart;
    std::vector<SerialPortEntry> ports;
    std::string configuredSeen;
    std::string settingsAsked;
};

class ScriptedServices final : public SystemServices {
public:
    explicit ScriptedServices(Script& s) : s_(s) {}
    std::string ExecutablePath() override { return "/opt/lantorvix"; }

protected:
    std::unique_ptr<SingleInstanceGuard> LockSingleInstance(std::string_view name) override
    {
        s_.lockNames.emplace_back(name);
        if (s_.instanceHeld) {
            return nullptr;
        }
        return std::make_unique<Guard>(s_);
    }
    std::unique_ptr<AutostartStore> OpenAutostart(AutostartAccess access) override
    {
        const bool ok = access == AutostartAccess::ReadOnly ? s_.autostartReadable : s_.autostartWritable;
        return ok ? std::make_unique<Store>(s_) : nullptr;
    }
    std::vector<SerialPortEntry> EnumerateSerialPorts(std::string_view configuredPort) override
    {
        s_.configuredSeen = configuredPort;
        return s_.ports;
    }
    std::string SettingsFilePath(std::string_view fileName) override
    {
        s_.settingsAsked = fileName;
        return "/cfg/" + std::string(fileName);
    }

private:
    struct Guard final : SingleInstanceGuard {
        explicit Guard(Script& s) : s_(s) { ++s_.guardsAlive; }
        ~Guard() override { --s_.guardsAlive; }
        Script& s_;
    };
    struct Store final : AutostartStore {
        explicit Store(Script& s) : s_(s) {}
        std::string Read(std::string_view name) override
        {
            const auto it = s_.autostart.find(std::string(name));
            return it == s_.autostart.end() ? std::string() : it->second;
        }
        void Write(std::string_view name, std::string_view data) override
        {
            if (data == "fail") {
                throw Exception("Failed to set data for '" + std::string(name) + "'");
            }
            s_.autostart[std::string(name)] = data;
        }
        void Remove(std::string_view name) override { s_.autostart.erase(std::string(name)); }
        Script& s_;
    };
    Script& s_;
};

TEST(SystemServicesTest, SingleInstanceUsesTheMutexNameAndKeepsTheGuard)
{
    Script s;
    {
        ScriptedServices services(s);
        EXPECT_TRUE(services.AcquireSingleInstance());
        EXPECT_EQ(s.lockNames, std::vector<std::string>{"QV_LantorvixMutex"});
        EXPECT_EQ(s.guardsAlive, 1);
    }
    EXPECT_EQ(s.guardsAlive, 0);
    s.instanceHeld = true;
    ScriptedServices refused(s);
    EXPECT_FALSE(refused.AcquireSingleInstance());
}

TEST(SystemServicesTest, AutostartOpenWriteAndRemoveSteps)
{
    Script s;
    ScriptedServices services(s);
    EXPECT_EQ(services.ReadAutostart("Lantorvix"), std::string());
    EXPECT_EQ(services.WriteAutostart("Lantorvix", std::string("/opt/lantorvix")),
              SystemServices::AutostartWrite::written);
    EXPECT_EQ(services.ReadAutostart("Lantorvix"), std::string("/opt/lantorvix"));
    EXPECT_EQ(services.WriteAutostart("Lantorvix", std::nullopt), SystemServices::AutostartWrite::written);
    EXPECT_TRUE(s.autostart.empty());
    EXPECT_EQ(services.WriteAutostart("Lantorvix", std::nullopt), SystemServices::AutostartWrite::written)
        << "removing a missing entry is fine";
    EXPECT_THROW(services.WriteAutostart("Lantorvix", std::string("fail")), Exception);

    s.autostartReadable = false;
    s.autostartWritable = false;
    s.autostart["Lantorvix"] = "x";
    EXPECT_EQ(services.ReadAutostart("Lantorvix"), std::nullopt);
    EXPECT_EQ(services.WriteAutostart("Lantorvix", std::nullopt),
              SystemServices::AutostartWrite::storeUnavailable);
    EXPECT_EQ(s.autostart.at("Lantorvix"), "x");
}

// The one sort of the port list: by value name, letter case aside, whatever the platform's order.
TEST(SystemServicesTest, PortsSortedAndSettingsFilePassThrough)
{
    Script s;
    s.ports = {{"\\Device\\serial1", "COM2"}, {"\\Device\\Serial0", "COM1"}};
    ScriptedServices services(s);
    const auto ports = services.SerialPorts("/dev/pts/3");
    EXPECT_EQ(s.configuredSeen, "/dev/pts/3");
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].portName, "COM1");
    EXPECT_EQ(ports[1].valueName, "\\Device\\serial1");
    EXPECT_EQ(ports[1].portName, "COM2");
    EXPECT_EQ(services.SettingsFileName(), "/cfg/Lantorvix.ini");
    EXPECT_EQ(s.settingsAsked, "Lantorvix.ini");
}

} // namespace
} // namespace lantorvix
