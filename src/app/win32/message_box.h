#pragma once

#include "app/shell.h"

#include "app/win32/win_api.h"

#include <string_view>

namespace lantorvix::win32 {

// The MessageBox style of a kind: MB_OK 0, MB_ICONERROR 16, MB_ICONWARNING 48,
// MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 292, MB_YESNO|MB_ICONWARNING|MB_DEFBUTTON2 308.
UINT MessageBoxStyle(BoxKind kind);
// The answer of a MessageBox result (IDOK 1, IDYES 6, IDNO 7; anything else closes the box
// without a choice).
BoxAnswer MessageBoxAnswer(BoxKind kind, int result);

// A modal message box through the wide API, so that Hungarian texts are right whatever the
// ANSI code page; texts are UTF-8. owner may be nullptr.
BoxAnswer ShowMessageBox(HWND owner, std::string_view text, std::string_view caption, BoxKind kind);

} // namespace lantorvix::win32
