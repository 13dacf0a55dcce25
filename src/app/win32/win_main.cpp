// Lantorvix.exe: translation and port messages first, then the Win32 desktop, the keyboard,
// the port dispatcher woken through the thread's message loop, and the common program entry.

#include "app/win32/win_api.h"

#include "app/general_error.h"
#include "app/message_startup.h"
#include "app/program.h"
#include "app/system/system_services.h"
#include "app/win32/message_box.h"
#include "app/win32/win32_device_watch.h"
#include "app/win32/win32_shell.h"
#include "base/codepage.h"
#include "i18n/translate.h"
#include "keys/win32/win32_keyboard.h"
#include "serial/com_error.h"
#include "serial/com_port.h"
#include "serial/main_thread_dispatcher.h"
#include "serial/win32/win32_waker.h"

#include <exception>
#include <memory>

namespace {

int Run(HINSTANCE instance)
{
    using namespace lantorvix;
    const std::string messagesFailure = StartBuiltInMessages();
    const CodePage codePage = i18n::AnsiCodePage();

    MainThreadDispatcher dispatcher;
    MainThreadDispatcher::SetDefault(&dispatcher);
    // The waker's hidden window lives on this thread, so the message loop below, and every
    // message box, serves the port's hand-overs.
    win32::Win32Waker waker(dispatcher);

    win32::Win32Shell shell(instance);
    TForm1* form = nullptr;
    dispatcher.SetExceptionHandler([&form](std::exception_ptr error) {
        if (form != nullptr) {
            form->RunHandler([&] { std::rethrow_exception(error); });
        }
    });

    // The key-sequence language's own boxes ("SendKeys") through the wide API as well.
    Win32Keyboard keyboard([&shell, codePage](std::string_view text, std::string_view caption) {
        shell.MessageBox(AnsiToUtf8(text, codePage), AnsiToUtf8(caption, codePage), 0);
    });

    const auto system = CreateSystemServices();
    TForm1::Services services{
        shell,
        *system,
        keyboard,
        [&dispatcher] { return std::make_unique<TComPort>(nullptr, CreateCommDevice(), &dispatcher); },
        codePage,
        LANTORVIX_MAKER_URL,
        [] { return std::make_unique<win32::Win32DeviceWatch>(); },
    };
    const int exitCode = RunProgram(std::move(services), [&](TForm1* f) {
        form = f;
        shell.Attach(f);
        if (f != nullptr && !messagesFailure.empty()) {
            f->ShowGeneralError(messagesFailure);
        }
    });
    dispatcher.SetExceptionHandler({});
    MainThreadDispatcher::SetDefault(nullptr);
    i18n::StopTranslation();
    return exitCode;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    try {
        return Run(instance);
    } catch (const std::exception& e) {
        // A failure before the form exists (or after it is gone) has no handler to show it.
        lantorvix::win32::ShowMessageBox(nullptr, lantorvix::GeneralErrorText(e.what()), "Lantorvix",
                                         lantorvix::mb::Error);
        return 1;
    }
}
