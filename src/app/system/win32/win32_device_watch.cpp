#include "app/system/win32/win32_device_watch.h"

#include <dbt.h>

#include <stdexcept>

namespace lantorvix::win32 {
namespace {

constexpr const char* kClassName = "LantorvixDeviceWatch";
constexpr UINT_PTR kRetryTimer = 1;
constexpr UINT kRetryMs = 1000;

bool SameName(const char* a, const std::string& b)
{
    return ::lstrcmpiA(a, b.c_str()) == 0;
}

} // namespace

Win32DeviceWatch::Win32DeviceWatch()
{
    static const ATOM atom = [] {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &Win32DeviceWatch::WindowProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = kClassName;
        return ::RegisterClassExA(&wc);
    }();
    if (atom == 0) {
        throw std::runtime_error("RegisterClassEx failed for the device watch window");
    }
    // Top-level and never shown: a message-only window would not hear device broadcasts.
    window_ = ::CreateWindowExA(WS_EX_TOOLWINDOW, kClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                ::GetModuleHandleA(nullptr), nullptr);
    if (window_ == nullptr) {
        throw std::runtime_error("CreateWindowEx failed for the device watch window");
    }
    ::SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32DeviceWatch::~Win32DeviceWatch()
{
    Stop();
    ::SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    ::DestroyWindow(window_);
}

void Win32DeviceWatch::Watch(const std::string& portName, std::function<void()> chance)
{
    removed_ = nullptr;
    portName_ = portName;
    chance_ = std::move(chance);
    ::SetTimer(window_, kRetryTimer, kRetryMs, nullptr);
}

void Win32DeviceWatch::WatchRemoval(const std::string& portName, std::function<void()> removed)
{
    Stop();
    portName_ = portName;
    removed_ = std::move(removed);
}

void Win32DeviceWatch::Stop()
{
    removed_ = nullptr;
    if (!chance_) {
        return;
    }
    ::KillTimer(window_, kRetryTimer);
    chance_ = nullptr;
}

void Win32DeviceWatch::Chance()
{
    if (chance_) {
        const auto chance = chance_; // it may end this watch
        chance();
    }
}

LRESULT CALLBACK Win32DeviceWatch::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<Win32DeviceWatch*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self != nullptr && message == WM_TIMER && wParam == kRetryTimer) {
        self->Chance();
        return 0;
    }
    if (self != nullptr && message == WM_DEVICECHANGE &&
        (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE) && lParam != 0) {
        const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
        if (header->dbch_devicetype == DBT_DEVTYP_PORT &&
            SameName(reinterpret_cast<const DEV_BROADCAST_PORT_A*>(header)->dbcp_name, self->portName_)) {
            if (wParam == DBT_DEVICEARRIVAL) {
                self->Chance();
            } else if (self->removed_) {
                const auto removed = self->removed_; // it ends this watch
                removed();
            }
        }
        return TRUE;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

} // namespace lantorvix::win32

namespace lantorvix {

std::unique_ptr<DeviceWatch> CreateDeviceWatch(MainThreadDispatcher&)
{
    return std::make_unique<win32::Win32DeviceWatch>();
}

} // namespace lantorvix
