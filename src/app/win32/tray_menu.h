#pragma once

#include "app/win32/win_api.h"

namespace lantorvix::win32 {

// PopupMenu1, built from the tray menu table (form_layout.h): "Beállítások", a separator,
// "Kilépés" (the default item, drawn bold). A chosen item reaches the owner window as
// WM_COMMAND with its id.
//
// Thread-safety: owner thread only.
class TrayMenu {
public:
    TrayMenu();
    ~TrayMenu();
    TrayMenu(const TrayMenu&) = delete;
    TrayMenu& operator=(const TrayMenu&) = delete;

    // Opens the menu at a screen position and returns when it closed. The owner should be
    // the foreground window, or the menu does not close when the user clicks elsewhere.
    void Popup(HWND owner, POINT at) const;
    HMENU Handle() const { return menu_; }

private:
    HMENU menu_;
};

} // namespace lantorvix::win32
