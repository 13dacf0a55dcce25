#include "app/qt/trayless_desktop.h"

#include "app/system/posix/instance_channel.h"
#include "app/system/posix/posix_system_services.h"
#include "app/system/system_services.h"

#include <QSystemTrayIcon>

#include <chrono>

namespace lantorvix {
namespace {

// A running copy answers from its event loop at once unless a long handler holds it; past
// this the starting copy warns as it would without the channel.
constexpr std::chrono::milliseconds kAnswerBound{5000};

std::filesystem::path RuntimeDir()
{
    return PosixSystemPaths::FromEnvironment().runtimeDir;
}

} // namespace

bool TraylessDesktop::TrayAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool TraylessDesktop::AskRunningCopyToShow()
{
    return lantorvix::AskRunningCopyToShow(RuntimeDir(), SystemServices::kMutexName, kAnswerBound);
}

TraylessDesktop::TraylessDesktop(std::function<bool()> show)
    : listener_(InstanceListener::Open(RuntimeDir(), SystemServices::kMutexName))
{
    if (listener_) {
        notifier_ = std::make_unique<QSocketNotifier>(listener_->Fd(), QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated,
                         [this, show = std::move(show)] { listener_->Serve(show); });
    }
}

TraylessDesktop::~TraylessDesktop() = default;

} // namespace lantorvix
