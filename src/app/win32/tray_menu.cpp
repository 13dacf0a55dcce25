#include "app/win32/tray_menu.h"

#include "app/form_layout.h"
#include "app/win32/wide_text.h"
#include "base/exception.h"

namespace lantorvix::win32 {

TrayMenu::TrayMenu() : menu_(CreatePopupMenu())
{
    if (menu_ == nullptr) {
        throw Exception("CreatePopupMenu failed");
    }
    AppendMenuW(menu_, MF_STRING, cid::Belltsok1, Widen("Beállítások").c_str());
    AppendMenuW(menu_, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu_, MF_STRING, cid::Kilps1, Widen("Kilépés").c_str());
    SetMenuDefaultItem(menu_, cid::Kilps1, FALSE);
}

TrayMenu::~TrayMenu()
{
    DestroyMenu(menu_);
}

void TrayMenu::Popup(HWND owner, POINT at) const
{
    TrackPopupMenu(menu_, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, owner, nullptr);
    // The documented companion of TrackPopupMenu from a tray icon: lets the next click
    // elsewhere close a later menu.
    PostMessageW(owner, WM_NULL, 0, 0);
}

} // namespace lantorvix::win32
