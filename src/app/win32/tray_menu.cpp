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
    for (const MenuItemLayout& item : TrayMenuItems()) {
        if (item.id == 0) {
            AppendMenuW(menu_, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        AppendMenuW(menu_, MF_STRING, static_cast<UINT_PTR>(item.id), Widen(item.text).c_str());
        if (item.isDefault) {
            SetMenuDefaultItem(menu_, static_cast<UINT>(item.id), FALSE);
        }
    }
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
