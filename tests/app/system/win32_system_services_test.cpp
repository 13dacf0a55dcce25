#include "app/system/win32/win32_system_services.h"

#include "base/exception.h"
#include "store/registry_store.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <random>
#include <thread>

namespace lantorvix {
namespace {

std::string UniqueName(const char* prefix)
{
    return prefix + std::to_string(std::random_device{}());
}

// Mutex ownership belongs to a thread, so another thread stands in for the second copy.
bool AcquiredOnAnotherThread(Win32SystemServices& services, const std::string& name)
{
    bool acquired = false;
    std::thread([&] { acquired = services.LockSingleInstance(name) != nullptr; }).join();
    return acquired;
}

TEST(Win32SystemServicesTest, SecondHolderIsRefusedUntilTheFirstReleases)
{
    Win32SystemServices services;
    const std::string name = UniqueName("QV_LantorvixTestMutex");
    auto guard = services.LockSingleInstance(name);
    ASSERT_NE(guard, nullptr);
    EXPECT_FALSE(AcquiredOnAnotherThread(services, name));
    guard.reset();
    EXPECT_TRUE(AcquiredOnAnotherThread(services, name)) << "released (or abandoned) means free";
}

TEST(Win32SystemServicesTest, AbandonedMutexCountsAsAcquired)
{
    Win32SystemServices services;
    const std::string name = UniqueName("QV_LantorvixTestMutex");
    // A thread takes the mutex and ends without releasing it.
    std::thread([&] {
        HANDLE h = CreateMutexA(nullptr, FALSE, name.c_str());
        WaitForSingleObject(h, 0);
    }).join();
    EXPECT_NE(services.LockSingleInstance(name), nullptr);
}

TEST(Win32SystemServicesTest, RunValueIsWrittenReadAndRemoved)
{
    Win32SystemServices services;
    const std::string name = UniqueName("LantorvixTest");
    auto writer = services.OpenAutostart(AutostartAccess::ReadWrite);
    if (!writer) {
        GTEST_SKIP() << "no write access to HKLM here";
    }
    writer->Write(name, "C:\\Program Files\\Lantorvix\\Lantorvix.exe");
    auto reader = services.OpenAutostart(AutostartAccess::ReadOnly);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->Read(name), "C:\\Program Files\\Lantorvix\\Lantorvix.exe");
    RegistryStore check(RegistryRoot::LocalMachine);
    ASSERT_TRUE(check.OpenKeyReadOnly("software\\microsoft\\windows\\currentversion\\run"));
    EXPECT_EQ(check.ReadString(name), "C:\\Program Files\\Lantorvix\\Lantorvix.exe");
    writer->Remove(name);
    EXPECT_EQ(reader->Read(name), "");
    EXPECT_NO_THROW(writer->Remove(name));
    EXPECT_THROW(reader->Write(name, "x"), Exception) << "a read-only key refuses writes";
}

TEST(Win32SystemServicesTest, SerialPortsComeFromSerialcommSortedByValueName)
{
    RegistryStore reg(RegistryRoot::LocalMachine);
    if (!reg.OpenKey("hardware\\devicemap\\serialcomm", true)) {
        GTEST_SKIP() << "serialcomm cannot be written here";
    }
    const std::string tag = UniqueName("LtvTest");
    reg.WriteString("\\Device\\" + tag + "b", "COM12");
    reg.WriteString("\\Device\\" + tag + "A", "COM7");
    reg.WriteInteger("\\Device\\" + tag + "c", 3);
    const auto ports = Win32SystemServices().SerialPorts("");
    reg.DeleteValue("\\Device\\" + tag + "b");
    reg.DeleteValue("\\Device\\" + tag + "A");
    reg.DeleteValue("\\Device\\" + tag + "c");
    std::vector<std::string> ours;
    for (const auto& p : ports) {
        if (p.valueName.find(tag) != std::string::npos) {
            ours.push_back(p.portName);
        }
    }
    EXPECT_EQ(ours, (std::vector<std::string>{"COM7", "COM12"}))
        << "A before b; the integer value is skipped";
    for (std::size_t i = 1; i < ports.size(); ++i) {
        EXPECT_EQ(CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, ports[i - 1].valueName.c_str(), -1,
                                 ports[i].valueName.c_str(), -1) != CSTR_GREATER_THAN,
                  true);
    }
}

TEST(Win32SystemServicesTest, ExecutableAndSettingsFile)
{
    Win32SystemServices services;
    const std::string exe = services.ExecutablePath();
    char ansi[4 * MAX_PATH];
    EXPECT_EQ(exe, std::string(ansi, GetModuleFileNameA(nullptr, ansi, sizeof ansi)));
    ASSERT_GT(exe.size(), 4u);
    EXPECT_EQ(exe.substr(exe.size() - 4), ".exe");
    const std::string name = UniqueName("lantorvix-test-") + ".ini";
    const std::string beside = exe.substr(0, exe.find_last_of("\\/") + 1) + name;
    EXPECT_EQ(services.SettingsFilePath(name), beside);
    HANDLE h = CreateFileA((".\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_EQ(services.SettingsFilePath(name), ".\\" + name);
    DeleteFileA((".\\" + name).c_str());
}

} // namespace
} // namespace lantorvix
