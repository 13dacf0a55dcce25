#pragma once

#include "app/shell.h"
#include "app/win32/win_api.h"

#include <shellapi.h>

#include <string_view>

namespace lantorvix::win32 {

// The notification-area icon: one NOTIFYICONDATAA record (8-bit form; the tool tip is plain
// ASCII) with the shell-version-5 size, 488 bytes in the 32-bit build. Notifications arrive
// at the owner window as kTrayMessage with the mouse message in lParam.
//
// Thread-safety: owner thread only.
class TrayIcon {
public:
    static constexpr UINT kId = 100;
    static constexpr UINT kTrayMessage = WM_USER + 1;                // 1025
    static constexpr UINT kFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP; // 7

    TrayIcon(HWND owner, HICON icon);
    // Leaves no icon behind, also when the program ends without the exit menu.
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // NIM_ADD; false when the shell refused it.
    bool Add();
    // NIM_DELETE with the same record; does nothing when not added.
    void Remove();
    bool Added() const { return added_; }
    // The icon and tool tip (UTF-8, shortened to what the record holds); NIM_MODIFY when
    // the icon is shown, else kept for the next Add.
    void SetLook(HICON icon, std::string_view tip);
    const NOTIFYICONDATAA& Record() const { return data_; }

private:
    NOTIFYICONDATAA data_{};
    bool added_ = false;
};

// A grey copy of an icon (same size and mask), owned; null when it could not be made.
class GreyedIcon {
public:
    explicit GreyedIcon(HICON icon);
    ~GreyedIcon();
    GreyedIcon(const GreyedIcon&) = delete;
    GreyedIcon& operator=(const GreyedIcon&) = delete;
    HICON Handle() const { return icon_; }

private:
    HICON icon_ = nullptr;
};

// The click a mouse message over the icon stands for: WM_LBUTTONDBLCLK (515) and
// WM_RBUTTONDOWN (516); every other message is `other`.
TrayClick TrayClickFor(UINT mouseMessage);

} // namespace lantorvix::win32
