#pragma once

#include "app/system/device_watch.h"

#include <windows.h>

namespace lantorvix::win32 {

// DeviceWatch on the Win32 desktop: a hidden top-level window (device notices are broadcast
// to top-level windows only) takes WM_DEVICECHANGE port arrivals and, while a watch runs,
// the ticks of a one-second retry timer. Everything happens on the main thread's message
// loop; no thread of its own. Without a watch the window only hears device changes.
//
// Thread-safety: main thread only, as DeviceWatch.
class Win32DeviceWatch final : public DeviceWatch {
public:
    Win32DeviceWatch();
    ~Win32DeviceWatch() override;
    Win32DeviceWatch(const Win32DeviceWatch&) = delete;
    Win32DeviceWatch& operator=(const Win32DeviceWatch&) = delete;

    void Watch(const std::string& portName, std::function<void()> chance) override;
    void WatchRemoval(const std::string& portName, std::function<void()> removed) override;
    void Stop() override;
    bool Watching() const override { return static_cast<bool>(chance_); }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Chance();

    HWND window_ = nullptr;
    std::string portName_;
    std::function<void()> chance_;
    std::function<void()> removed_;
};

} // namespace lantorvix::win32
