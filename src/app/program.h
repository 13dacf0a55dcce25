#pragma once

#include "app/tform1.h"

#include <functional>

namespace lantorvix {

// What a desktop without a tray changes at start (the Linux program); empty members change
// nothing.
struct TraylessStart {
    // Asked when another copy holds the guard: true when that copy showed its window in
    // answer, so that the warning is not due.
    std::function<bool()> runningCopyShown;
    // Asked after FormCreate when the port opened: true shows the settings window all the same.
    std::function<bool()> noTray;
};

// The program entry after the platform's own start-up (translation, port messages): the
// single-instance guard with its warning box, the creation of the main window object (its
// FormCreate), the decision whether the settings window is shown, and the message loop.
// attach is told the form before FormCreate runs, and nullptr before it is destroyed.
// Returns the process exit code.
int RunProgram(TForm1::Services services, const std::function<void(TForm1*)>& attach,
               const TraylessStart& trayless = {});

} // namespace lantorvix
