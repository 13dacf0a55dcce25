// Lantorvix.exe: the Win32 desktop, the keyboard and the thread's message loop as the port's
// waker; the start-up itself is RunProgram's.

#include "app/win32/win_api.h"

#include "app/general_error.h"
#include "app/program.h"
#include "app/system/device_watch.h"
#include "app/system/system_services.h"
#include "app/win32/message_box.h"
#include "app/win32/win32_shell.h"
#include "keys/win32/win32_keyboard.h"
#include "serial/win32/win32_waker.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    using namespace lantorvix;
    try {
        // The waker's hidden window lives on this thread, so the message loop, and every
        // message box, serves the port's hand-overs.
        auto waker = [](MainThreadDispatcher& d) { return std::make_unique<win32::Win32Waker>(d); };
        // The key-sequence language's own boxes ("SendKeys") through the wide API as well.
        auto keyboard = [](CodePage, MessageBoxHandler box) { return std::make_unique<Win32Keyboard>(box); };
        const auto shell = win32::CreateWin32Shell(instance);
        const auto system = CreateSystemServices();
        return RunProgram(
            {*shell, *system, waker, keyboard, CreateCommDevice, CreateDeviceWatch, LANTORVIX_MAKER_URL});
    } catch (const std::exception& e) {
        // A failure before the form exists (or after it is gone) has no handler to show it.
        win32::ShowMessageBox(nullptr, GeneralErrorText(e.what()), "Lantorvix", BoxKind::error);
        return 1;
    }
}
