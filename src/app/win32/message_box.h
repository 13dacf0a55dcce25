#pragma once

#include "app/shell.h"

#include "app/win32/win_api.h"

#include <string_view>

namespace lantorvix::win32 {

// A modal message box through the wide API, so that Hungarian texts are right whatever the
// ANSI code page; texts are UTF-8, flags the MB_* sums of shell.h. owner may be nullptr.
DialogResult ShowMessageBox(HWND owner, std::string_view text, std::string_view caption, unsigned flags);

} // namespace lantorvix::win32
