// The Win32 device watch under Wine: its hidden window takes port arrivals by name, and a
// running watch ticks once a second through the message loop; nothing after Stop.

#include "app/system/win32/win32_device_watch.h"

#include <dbt.h>
#include <gtest/gtest.h>

#include <cstring>

namespace lantorvix {
namespace {

void SendPortNotice(HWND window, WPARAM what, const char* name)
{
    alignas(DEV_BROADCAST_PORT_A) char buffer[sizeof(DEV_BROADCAST_PORT_A) + 16]{};
    auto* port = reinterpret_cast<DEV_BROADCAST_PORT_A*>(buffer);
    port->dbcp_size = static_cast<DWORD>(sizeof(DEV_BROADCAST_PORT_A) + std::strlen(name));
    port->dbcp_devicetype = DBT_DEVTYP_PORT;
    std::strcpy(port->dbcp_name, name);
    ::SendMessageA(window, WM_DEVICECHANGE, what, reinterpret_cast<LPARAM>(port));
}

TEST(Win32DeviceWatch, ArrivalOfTheWatchedPortAndTheRetryTickGiveChances)
{
    win32::Win32DeviceWatch watch;
    int chances = 0;
    watch.Watch("COM5", [&] { ++chances; });
    const HWND window = ::FindWindowA("LantorvixDeviceWatch", nullptr);
    ASSERT_NE(window, nullptr);
    SendPortNotice(window, DBT_DEVICEARRIVAL, "COM7");
    SendPortNotice(window, DBT_DEVICEREMOVECOMPLETE, "COM5");
    EXPECT_EQ(chances, 0);
    SendPortNotice(window, DBT_DEVICEARRIVAL, "com5");
    EXPECT_EQ(chances, 1);

    const DWORD deadline = ::GetTickCount() + 5000;
    while (chances < 2 && ::GetTickCount() < deadline) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::DispatchMessageA(&msg);
        }
    }
    EXPECT_EQ(chances, 2) << "no retry tick";

    watch.Stop();
    SendPortNotice(window, DBT_DEVICEARRIVAL, "COM5");
    EXPECT_EQ(chances, 2) << "a chance after Stop";
}

} // namespace
} // namespace lantorvix

namespace lantorvix {
namespace {

TEST(Win32DeviceWatch, RemovalOfTheOpenPortIsReportedOnce)
{
    win32::Win32DeviceWatch watch;
    int removals = 0;
    watch.WatchRemoval("COM5", [&] { ++removals; });
    const HWND window = ::FindWindowA("LantorvixDeviceWatch", nullptr);
    ASSERT_NE(window, nullptr);
    SendPortNotice(window, DBT_DEVICEREMOVECOMPLETE, "COM7");
    SendPortNotice(window, DBT_DEVICEARRIVAL, "COM5");
    EXPECT_EQ(removals, 0);
    EXPECT_FALSE(watch.Watching());
    SendPortNotice(window, DBT_DEVICEREMOVECOMPLETE, "com5");
    EXPECT_EQ(removals, 1);

    watch.Stop();
    SendPortNotice(window, DBT_DEVICEREMOVECOMPLETE, "COM5");
    EXPECT_EQ(removals, 1) << "a removal after Stop";
}

} // namespace
} // namespace lantorvix
