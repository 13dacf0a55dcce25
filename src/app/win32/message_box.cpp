#include "app/win32/message_box.h"

#include "app/win32/wide_text.h"

namespace lantorvix::win32 {

DialogResult ShowMessageBox(HWND owner, std::string_view text, std::string_view caption, unsigned flags)
{
    const int answer = MessageBoxW(owner, Widen(text).c_str(), Widen(caption).c_str(), flags);
    switch (answer) {
    case IDYES:
        return DialogResult::idYes;
    case IDNO:
        return DialogResult::idNo;
    case IDCANCEL:
        return DialogResult::idCancel;
    default:
        return DialogResult::idOK;
    }
}

} // namespace lantorvix::win32
