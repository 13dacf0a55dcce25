#include "serial/win32/win32_waker.h"

#include <stdexcept>

namespace lantorvix::win32 {

namespace {

constexpr UINT kServeMessage = WM_APP + 0x51;
constexpr const char* kClassName = "LantorvixDispatcherWaker";

ATOM RegisterWakerClass(WNDPROC procedure)
{
    static const ATOM atom = [procedure] {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = procedure;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = kClassName;
        return ::RegisterClassExA(&wc);
    }();
    return atom;
}

} // namespace

Win32Waker::Win32Waker(MainThreadDispatcher& dispatcher) : dispatcher_(dispatcher)
{
    if (RegisterWakerClass(&Win32Waker::WindowProc) == 0) {
        throw std::runtime_error("RegisterClassEx failed for the dispatcher's window");
    }
    window_ = ::CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                ::GetModuleHandleA(nullptr), nullptr);
    if (window_ == nullptr) {
        throw std::runtime_error("CreateWindowEx failed for the dispatcher's window");
    }
    ::SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    dispatcher_.SetWaker(this);
    // Calls queued before the waker existed are served at the next message.
    if (dispatcher_.QueuedCount() > 0) {
        Wake();
    }
}

Win32Waker::~Win32Waker()
{
    dispatcher_.SetWaker(nullptr);
    ::SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    ::DestroyWindow(window_);
}

void Win32Waker::Wake()
{
    if (!posted_.exchange(true)) {
        if (::PostMessageA(window_, kServeMessage, 0, 0) == FALSE) {
            posted_.store(false);
        }
    }
}

LRESULT CALLBACK Win32Waker::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kServeMessage) {
        auto* self = reinterpret_cast<Win32Waker*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self != nullptr) {
            // Cleared first: a call queued while serving posts a fresh message.
            self->posted_.store(false);
            self->dispatcher_.ServeQueued();
        }
        return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

} // namespace lantorvix::win32
