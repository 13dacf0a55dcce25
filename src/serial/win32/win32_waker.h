#pragma once

#include "serial/main_thread_dispatcher.h"

#include <atomic>
#include <windows.h>

namespace lantorvix::win32 {

// Wakes the main thread's message loop for the dispatcher: a hidden message-only window
// created on the main thread; Wake posts it a message, and its window procedure runs the
// queued calls. Any loop that dispatches messages (GetMessage/DispatchMessage, a message
// box, a modal dialog) therefore serves the port's hand-overs.
//
// Thread-safety: construct and destroy on the dispatcher's main thread; the constructor
// installs the waker in the dispatcher and the destructor removes it. Wake may be called
// from any thread; wakes that arrive before the posted message is handled are merged.
class Win32Waker final : public Waker {
public:
    explicit Win32Waker(MainThreadDispatcher& dispatcher);
    ~Win32Waker() override;
    Win32Waker(const Win32Waker&) = delete;
    Win32Waker& operator=(const Win32Waker&) = delete;

    void Wake() override;
    HWND Window() const { return window_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    MainThreadDispatcher& dispatcher_;
    HWND window_ = nullptr;
    std::atomic<bool> posted_{false};
};

} // namespace lantorvix::win32
