#include "app/win32/message_box.h"

#include "app/win32/wide_text.h"

namespace lantorvix::win32 {

UINT MessageBoxStyle(BoxKind kind)
{
    switch (kind) {
    case BoxKind::plain:
        return MB_OK;
    case BoxKind::error:
        return MB_OK | MB_ICONERROR;
    case BoxKind::warning:
        return MB_OK | MB_ICONWARNING;
    case BoxKind::yesNoQuestion:
        return MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2;
    case BoxKind::yesNoWarning:
        return MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2;
    }
    return MB_OK;
}

BoxAnswer MessageBoxAnswer(BoxKind kind, int result)
{
    if (!IsYesNo(kind)) {
        return BoxAnswer::ok;
    }
    return result == IDYES ? BoxAnswer::yes : BoxAnswer::no;
}

BoxAnswer ShowMessageBox(HWND owner, std::string_view text, std::string_view caption, BoxKind kind)
{
    const int result = MessageBoxW(owner, Widen(text).c_str(), Widen(caption).c_str(), MessageBoxStyle(kind));
    return MessageBoxAnswer(kind, result);
}

} // namespace lantorvix::win32
