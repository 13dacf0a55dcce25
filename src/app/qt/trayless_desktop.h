#pragma once

#include "app/program.h"

#include <QSocketNotifier>

#include <filesystem>
#include <memory>

namespace lantorvix {

class InstanceListener;
class QtShell;
class TForm1;

// Keeps the Linux program reachable on a desktop without a tray (GNOME without the
// AppIndicator extension): the settings window is shown at start, a second start brings it
// to the front through the instance channel instead of warning, and closing it from its
// title bar asks the exit question of the tray menu. Whether a tray is there is asked at
// each of these moments, so when one appears later (its icon then shows up in it) the tray
// behaviour applies from then on. Main thread only.
class TraylessDesktop {
public:
    // Whether the desktop shows tray icons now (a StatusNotifierItem host or an XEmbed tray).
    static bool TrayAvailable();

    // The start-up hooks of RunProgram; runtimeDir: where the single-instance lock is.
    static TraylessStart StartHooks(const std::filesystem::path& runtimeDir);

    // For the running copy, from attach to the form's end: listens on the instance channel
    // and takes over the shell's title-bar close while no tray is there.
    TraylessDesktop(QtShell& shell, TForm1& form, const std::filesystem::path& runtimeDir);
    ~TraylessDesktop();
    TraylessDesktop(const TraylessDesktop&) = delete;
    TraylessDesktop& operator=(const TraylessDesktop&) = delete;

private:
    QtShell& shell_;
    std::unique_ptr<InstanceListener> listener_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace lantorvix
