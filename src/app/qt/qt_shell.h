#pragma once

#include "app/shell.h"

#include <memory>

namespace lantorvix {

// The Qt desktop of the Linux program: the settings window, a QSystemTrayIcon with its
// menu, QMessageBox boxes, Timer1 as a QTimer and Qt's event loop. Routes every user event
// into the attached form through TForm1::RunHandler; without a tray, keeps the program
// reachable through its window (trayless_desktop.h). Main thread only. The QApplication
// must exist before it is made.
std::unique_ptr<Shell> CreateQtShell();

} // namespace lantorvix
