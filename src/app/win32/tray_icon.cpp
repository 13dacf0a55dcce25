#include "app/win32/tray_icon.h"

#include "app/win32/wide_text.h"

#include <cstdint>
#include <cstring>
#include <vector>

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

void TrayIcon::SetLook(HICON icon, std::string_view tip)
{
    data_.hIcon = icon;
    std::memset(data_.szTip, 0, sizeof data_.szTip);
    const std::wstring wide = Widen(tip);
    // The record is 8-bit: the tip in the system's ANSI code page, cut to fit.
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), data_.szTip,
                        static_cast<int>(sizeof data_.szTip - 1), nullptr, nullptr);
    if (added_) {
        Shell_NotifyIconA(NIM_MODIFY, &data_);
    }
}

GreyedIcon::GreyedIcon(HICON icon)
{
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info)) {
        return;
    }
    BITMAP bm{};
    if (info.hbmColor != nullptr && GetObjectW(info.hbmColor, sizeof bm, &bm) != 0) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = bm.bmWidth;
        bi.bmiHeader.biHeight = -bm.bmHeight;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(bm.bmWidth) *
                                          static_cast<std::size_t>(bm.bmHeight));
        HDC dc = GetDC(nullptr);
        if (GetDIBits(dc, info.hbmColor, 0, static_cast<UINT>(bm.bmHeight), pixels.data(), &bi,
                      DIB_RGB_COLORS) != 0) {
            for (std::uint32_t& p : pixels) {
                const std::uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
                // Light grey: the shape stays, the colour goes.
                const std::uint32_t y = 96 + (r * 30 + g * 59 + b * 11) / 100 * 5 / 8;
                p = (p & 0xFF000000u) | (y << 16) | (y << 8) | y;
            }
            SetDIBits(dc, info.hbmColor, 0, static_cast<UINT>(bm.bmHeight), pixels.data(), &bi,
                      DIB_RGB_COLORS);
            icon_ = CreateIconIndirect(&info);
        }
        ReleaseDC(nullptr, dc);
    }
    if (info.hbmColor != nullptr) {
        DeleteObject(info.hbmColor);
    }
    if (info.hbmMask != nullptr) {
        DeleteObject(info.hbmMask);
    }
}

GreyedIcon::~GreyedIcon()
{
    if (icon_ != nullptr) {
        DestroyIcon(icon_);
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
