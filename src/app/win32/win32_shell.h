#pragma once

#include "app/shell.h"

#include "app/win32/win_api.h"

#include <memory>

namespace lantorvix::win32 {

// The Win32 desktop of Lantorvix.exe: the "TForm1" settings window, the tray icon and its
// menu, MessageBoxW boxes, Timer1 as a window timer and the thread's message loop (which
// also serves the port's hidden windows and the dispatcher's wake-ups). Every user event
// goes into the attached form through TForm1::RunHandler.
//
// Thread-safety: the user-interface thread only.
std::unique_ptr<Shell> CreateWin32Shell(HINSTANCE instance);

} // namespace lantorvix::win32
