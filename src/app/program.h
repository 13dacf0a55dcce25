#pragma once

#include "app/tform1.h"

#include <functional>

namespace lantorvix {

// The program entry after the platform's own start-up (translation, port messages): the
// single-instance guard with its warning box, the creation of the main window object (its
// FormCreate), the decision whether the settings window is shown, and the message loop.
// attach is told the form before FormCreate runs, and nullptr before it is destroyed.
// Returns the process exit code.
int RunProgram(TForm1::Services services, const std::function<void(TForm1*)>& attach);

} // namespace lantorvix
