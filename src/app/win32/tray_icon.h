#pragma once

#include "app/shell.h"
#include "app/win32/win_api.h"

#include <shellapi.h>

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
    const NOTIFYICONDATAA& Record() const { return data_; }

private:
    NOTIFYICONDATAA data_{};
    bool added_ = false;
};

// The click a mouse message over the icon stands for: WM_LBUTTONDBLCLK (515) and
// WM_RBUTTONDOWN (516); every other message is `other`.
TrayClick TrayClickFor(UINT mouseMessage);

} // namespace lantorvix::win32
