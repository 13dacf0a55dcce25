#include "app/qt/trayless_desktop.h"

#include "app/qt/qt_shell.h"
#include "app/system/posix/instance_channel.h"
#include "app/system/system_adapter.h"
#include "app/tform1.h"

#include <QSystemTrayIcon>

#include <chrono>

namespace lantorvix {
namespace {

// A running copy answers from its event loop at once unless a long handler holds it; past
// this the starting copy warns as it would without the channel.
constexpr std::chrono::milliseconds kAnswerBound{5000};

} // namespace

bool TraylessDesktop::TrayAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

TraylessStart TraylessDesktop::StartHooks(const std::filesystem::path& runtimeDir)
{
    return TraylessStart{
        [runtimeDir] { return AskRunningCopyToShow(runtimeDir, SystemAdapter::kMutexName, kAnswerBound); },
        [] { return !TrayAvailable(); },
    };
}

TraylessDesktop::TraylessDesktop(QtShell& shell, TForm1& form, const std::filesystem::path& runtimeDir)
    : shell_(shell), listener_(InstanceListener::Open(runtimeDir, SystemAdapter::kMutexName))
{
    if (listener_) {
        notifier_ = std::make_unique<QSocketNotifier>(listener_->Fd(), QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this, &form] {
            listener_->Serve([&form] {
                // With a tray the second copy warns as described; after a confirmed exit
                // there is no window to come back to.
                if (TrayAvailable() || form.Terminated()) {
                    return false;
                }
                form.RunHandler([&form] { form.Belltsok1Click(); });
                return true;
            });
        });
    }
    shell_.onUserClose = [&form] {
        if (TrayAvailable()) {
            return false;
        }
        // Hiding would leave nothing to reach the program by: close means exit, asked first.
        form.RunHandler([&form] { form.Kilps1Click(); });
        return true;
    };
}

TraylessDesktop::~TraylessDesktop()
{
    shell_.onUserClose = nullptr;
}

} // namespace lantorvix
