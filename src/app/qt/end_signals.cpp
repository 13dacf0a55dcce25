#include "app/qt/end_signals.h"

#include "serial/posix/unique_fd.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace lantorvix {

namespace {
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
volatile std::sig_atomic_t writeEnd = -1;

extern "C" void OnEndSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    (void)!::write(writeEnd, &byte, 1);
    errno = saved;
}

class EndSignalWatch {
public:
    explicit EndSignalWatch(std::function<void()> onEnd) : onEnd_(std::move(onEnd))
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
            return;
        }
        readEnd_.Reset(fds[0]);
        writeEnd_.Reset(fds[1]);
        writeEnd = fds[1];
        notifier_ = std::make_unique<QSocketNotifier>(fds[0], QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
            char buf[16];
            while (::read(readEnd_.Get(), buf, sizeof buf) > 0) {
            }
            if (!ended_ && onEnd_) {
                ended_ = true;
                onEnd_();
            }
        });
        struct sigaction action {};
        action.sa_handler = OnEndSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (std::size_t i = 0; i < std::size(kSignals); ++i) {
            ::sigaction(kSignals[i], &action, &previous_[i]);
        }
    }
    ~EndSignalWatch()
    {
        if (!notifier_) {
            return;
        }
        for (std::size_t i = 0; i < std::size(kSignals); ++i) {
            ::sigaction(kSignals[i], &previous_[i], nullptr);
        }
        notifier_.reset();
        writeEnd = -1;
    }
    EndSignalWatch(const EndSignalWatch&) = delete;
    EndSignalWatch& operator=(const EndSignalWatch&) = delete;

private:
    std::function<void()> onEnd_;
    posix::UniqueFd readEnd_;
    posix::UniqueFd writeEnd_;
    std::unique_ptr<QSocketNotifier> notifier_;
    struct sigaction previous_[std::size(kSignals)]{};
    bool ended_ = false;
};
} // namespace

std::shared_ptr<void> WatchEndSignals(std::function<void()> onEnd)
{
    return std::make_shared<EndSignalWatch>(std::move(onEnd));
}

} // namespace lantorvix
