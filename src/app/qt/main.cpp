// The Linux program: the Qt application and desktop, the session's keyboard and Qt's loop
// as the port's waker; the start-up itself is RunProgram's.

#include "app/program.h"
#include "app/qt/qt_shell.h"
#include "app/qt/qt_waker.h"
#include "app/system/device_watch.h"
#include "app/system/posix/sysfs_device_identity.h"
#include "app/system/system_services.h"
#include "keys/linux_keyboard.h"

#include <QApplication>

int main(int argc, char** argv)
{
    using namespace lantorvix;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lantorvix"));
    QApplication::setDesktopFileName(QStringLiteral("lantorvix"));
    const auto shell = CreateQtShell();
    const auto system = CreateSystemServices();
    const auto keyboard = [](CodePage codePage, MessageBoxHandler showBox) {
        LinuxKeyboardOptions options;
        options.codePage = codePage;
        options.messageBox = std::move(showBox);
        return CreateLinuxKeyboard(std::move(options));
    };
    return RunProgram({*shell,
                       *system,
                       [](MainThreadDispatcher& d) { return std::make_unique<QtWaker>(d); },
                       keyboard,
                       CreateCommDevice,
                       CreateDeviceWatch,
                       LANTORVIX_MAKER_URL,
                       {},
                       [] { return std::make_unique<SysfsDeviceIdentity>(); }});
}
