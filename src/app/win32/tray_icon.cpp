#include "app/win32/tray_icon.h"

#include <cstring>

namespace lantorvix::win32 {

#if defined(_WIN64)
static_assert(NOTIFYICONDATAA_V2_SIZE == 504, "64-bit NOTIFYICONDATAA up to guidItem");
#else
static_assert(NOTIFYICONDATAA_V2_SIZE == 488, "32-bit NOTIFYICONDATAA up to guidItem");
#endif

TrayIcon::TrayIcon(HWND owner, HICON icon)
{
    data_.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data_.hWnd = owner;
    data_.uID = kId;
    data_.uFlags = kFlags;
    data_.uCallbackMessage = kTrayMessage;
    data_.hIcon = icon;
    std::strncpy(data_.szTip, "Lantorvix", sizeof data_.szTip - 1);
}

TrayIcon::~TrayIcon()
{
    Remove();
}

bool TrayIcon::Add()
{
    added_ = Shell_NotifyIconA(NIM_ADD, &data_) != FALSE;
    return added_;
}

void TrayIcon::Remove()
{
    if (added_) {
        Shell_NotifyIconA(NIM_DELETE, &data_);
        added_ = false;
    }
}

TrayClick TrayClickFor(UINT mouseMessage)
{
    switch (mouseMessage) {
    case WM_LBUTTONDBLCLK:
        return TrayClick::leftDoubleClick;
    case WM_RBUTTONDOWN:
        return TrayClick::rightButtonDown;
    default:
        return TrayClick::other;
    }
}

} // namespace lantorvix::win32
