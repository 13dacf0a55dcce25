// The Linux program: the Qt application and desktop, the session's keyboard and Qt's loop
// as the port's waker; the start-up itself is RunProgram's.

#include "app/program.h"
#include "app/qt/end_signals.h"
#include "app/qt/qt_shell.h"
#include "app/qt/qt_waker.h"
#include "app/system/device_watch.h"
#include "app/system/posix/sysfs_device_identity.h"
#include "app/system/system_services.h"
#include "keys/linux_keyboard.h"
#include "store/ini_file.h"

#include <QApplication>

#include <cstdio>
#include <string>
#include <string_view>

namespace {
// [PROGRAM] KeyboardLayout= of the settings file the program reads.
std::string KeyboardLayoutSetting(lantorvix::SystemServices& system)
{
    return lantorvix::IniFile(system.SettingsFileName()).ReadString("PROGRAM", "KeyboardLayout", "");
}
} // namespace

int main(int argc, char** argv)
{
    using namespace lantorvix;
    if (argc == 2 && std::string_view(argv[1]) == "--keyboard") {
        // Support staff ask this: answered without starting the program or its guard.
        LinuxKeyboardOptions options;
        options.keyboardLayout = KeyboardLayoutSetting(*CreateSystemServices());
        const KeyboardDescription description = DescribeLinuxKeyboard(options);
        std::fputs(FormatKeyboardDescription(description).c_str(), stdout);
        return description.problem.empty() ? 0 : 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lantorvix"));
    QApplication::setDesktopFileName(QStringLiteral("lantorvix"));
    const auto shell = CreateQtShell();
    const auto system = CreateSystemServices();
    const auto keyboard = [&system](CodePage codePage, MessageBoxHandler showBox) {
        LinuxKeyboardOptions options;
        options.keyboardLayout = KeyboardLayoutSetting(*system);
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
                       [] { return std::make_unique<SysfsDeviceIdentity>(); },
                       WatchEndSignals});
}
