#pragma once

#include <QSocketNotifier>

#include <functional>
#include <memory>

namespace lantorvix {

class InstanceListener;

// Keeps the Linux program reachable on a desktop without a tray (GNOME without the
// AppIndicator extension): the running copy listens on the instance channel beside the
// single-instance lock, and a second start asks it to show its window instead of warning.
// Whether a tray is there is asked at each request, so when one appears later the tray
// behaviour (the described second-copy warning) applies from then on. Main thread only.
class TraylessDesktop {
public:
    // Whether the desktop shows tray icons now (a StatusNotifierItem host or an XEmbed tray).
    static bool TrayAvailable();
    // The starting copy's side: true when the running copy showed its window in answer.
    static bool AskRunningCopyToShow();

    // The running copy's side, for as long as a form receives events: a second start calls
    // show (true: the window was shown; false: the second copy warns as described).
    explicit TraylessDesktop(std::function<bool()> show);
    ~TraylessDesktop();
    TraylessDesktop(const TraylessDesktop&) = delete;
    TraylessDesktop& operator=(const TraylessDesktop&) = delete;

private:
    std::unique_ptr<InstanceListener> listener_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace lantorvix
