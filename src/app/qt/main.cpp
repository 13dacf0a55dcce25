// The Linux program: translation and port messages first, then the Qt application, the
// keyboard, the port dispatcher woken through Qt's loop, and the common program entry.

#include "app/message_startup.h"
#include "app/posix/inotify_device_watch.h"
#include "app/program.h"
#include "app/qt/qt_shell.h"
#include "app/qt/qt_waker.h"
#include "app/qt/trayless_desktop.h"
#include "app/system/posix/posix_system_services.h"
#include "app/system/system_services.h"
#include "app/unavailable_keyboard.h"
#include "base/codepage.h"
#include "i18n/translate.h"
#include "keys/linux_keyboard.h"
#include "serial/com_error.h"
#include "serial/com_port.h"
#include "serial/main_thread_dispatcher.h"

#include <QApplication>

#include <exception>

int main(int argc, char** argv)
{
    using namespace lantorvix;
    const std::string messagesFailure = StartBuiltInMessages();
    const CodePage codePage = i18n::AnsiCodePage();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lantorvix"));
    QApplication::setDesktopFileName(QStringLiteral("lantorvix"));

    MainThreadDispatcher dispatcher;
    QtWaker waker(dispatcher);
    dispatcher.SetWaker(&waker);
    MainThreadDispatcher::SetDefault(&dispatcher);

    QtShell shell(LANTORVIX_MAKER_URL);
    TForm1* form = nullptr;
    dispatcher.SetExceptionHandler([&form](std::exception_ptr error) {
        if (form == nullptr) {
            return;
        }
        form->RunHandler([&] { std::rethrow_exception(error); });
    });

    LinuxKeyboardOptions keyboardOptions;
    keyboardOptions.codePage = codePage;
    keyboardOptions.messageBox = [&shell, codePage](std::string_view text, std::string_view caption) {
        shell.MessageBox(AnsiToUtf8(text, codePage), AnsiToUtf8(caption, codePage), 0);
    };
    std::unique_ptr<KeyboardPlatform> keyboard;
    std::string keyboardFailure;
    try {
        keyboard = CreateLinuxKeyboard(keyboardOptions);
    } catch (const std::exception& e) {
        keyboardFailure = e.what();
        keyboard = std::make_unique<UnavailableKeyboard>(keyboardFailure);
    }

    const auto system = CreateSystemServices();
    TForm1::Services services{
        shell,
        *system,
        *keyboard,
        [&dispatcher] { return std::make_unique<TComPort>(nullptr, CreateCommDevice(), &dispatcher); },
        codePage,
        LANTORVIX_MAKER_URL,
        [&dispatcher] { return std::make_unique<InotifyDeviceWatch>(dispatcher); },
    };
    // A desktop without a tray: the channel beside the single-instance lock.
    const auto runtimeDir = PosixSystemPaths::FromEnvironment().runtimeDir;
    std::unique_ptr<TraylessDesktop> trayless;
    const int exitCode = RunProgram(
        std::move(services),
        [&](TForm1* f) {
            form = f;
            shell.Attach(f);
            trayless = f != nullptr ? std::make_unique<TraylessDesktop>(shell, *f, runtimeDir) : nullptr;
            if (f != nullptr && !messagesFailure.empty()) {
                f->ShowGeneralError(messagesFailure);
            }
            if (f != nullptr && !keyboardFailure.empty()) {
                f->ShowGeneralError(keyboardFailure);
            }
        },
        TraylessDesktop::StartHooks(runtimeDir));
    MainThreadDispatcher::SetDefault(nullptr);
    i18n::StopTranslation();
    return exitCode;
}
