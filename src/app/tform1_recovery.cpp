// Recovery: whenever the chosen port is not open (gone, absent at start-up, or an open that
// failed), it is awaited and opened again with the same settings, showing nothing but the
// waiting status. A device that fails at once is tried less and less often; another device
// that takes a USB scanner's kernel name is not opened.

#include "app/tform1.h"

#include "serial/com_port.h"

#include <algorithm>

namespace lantorvix {
namespace {

using namespace std::chrono_literals;

// A device lost sooner than this after opening counts as a failed try.
constexpr auto kSettled = 1s;
constexpr auto kLongestBackOff = 4s;

std::string WaitingText(const std::string& port)
{
    return "A vonalkódolvasó nincs csatlakoztatva: " + port;
}

} // namespace

void TForm1::ComPortDeviceLost()
{
    // A code cut off by the loss must never be joined to the first scan after the return.
    scanBuffer_.clear();
    scanTimedOut_ = false;
    shell_.SetTimerEnabled(false);
    // Closed now: while a vanished tty is held open, the returning adapter gets a new name.
    comPort_->Close();
    if (openedAt_ && Now() - *openedAt_ < kSettled) {
        BackOff();
    } else {
        quickFailures_ = 0;
        nextTry_ = {};
    }
    openedAt_.reset();
    WaitForPort();
}

void TForm1::PortMayBeBack()
{
    if (Connected()) {
        StopWaitingForPort();
        return;
    }
    if (Now() < nextTry_) {
        return; // backing off: a later chance (the retry tick at least) tries
    }
    if (deviceIdentity_ != nullptr && !portIdentity_.empty() &&
        deviceIdentity_->Identify(comPort_->Port()) != portIdentity_) {
        // Another device (or none) has the scanner's kernel name: look for the scanner.
        const std::string moved = deviceIdentity_->FindPort(portIdentity_);
        if (moved.empty()) {
            return;
        }
        comPort_->SetPort(moved);
        StopWaitingForPort();
        WaitForPort(); // from now on under its new name
    }
    try {
        comPort_->Open();
    } catch (const std::exception&) {
        // Not shown: the device may appear before it can be opened (udev still setting its
        // permissions); a later chance tries again, after a back-off when it keeps failing.
        BackOff();
        return;
    }
    StopWaitingForPort();
    PortOpened();
}

bool TForm1::WaitingForPort() const
{
    return deviceWatch_ && deviceWatch_->Watching();
}

void TForm1::WaitForPort()
{
    shell_.SetPortStatus(WaitingText(comPort_->Port()));
    if (deviceWatch_) {
        deviceWatch_->Watch(comPort_->Port(), [this] { RunHandler([this] { PortMayBeBack(); }); });
    }
}

void TForm1::StopWaitingForPort()
{
    shell_.SetPortStatus("");
    if (deviceWatch_) {
        deviceWatch_->Stop();
    }
}

void TForm1::PortOpened()
{
    openedAt_ = Now();
    shell_.SetPortStatus("");
    if (deviceWatch_) {
        // The system may say the device went before the port notices.
        deviceWatch_->WatchRemoval(comPort_->Port(), [this] {
            RunHandler([this] {
                if (Connected()) {
                    ComPortDeviceLost();
                }
            });
        });
    }
    if (deviceIdentity_ != nullptr) {
        const std::string identity = deviceIdentity_->Identify(comPort_->Port());
        if (!identity.empty()) {
            portIdentity_ = identity;
        }
    }
    RefreshPortList(comPort_->Port());
}

void TForm1::BackOff()
{
    // The first failure is tried again at the next chance (udev may just be setting the
    // permissions); then half a second, doubling up to the longest.
    ++quickFailures_;
    const auto wait = quickFailures_ < 2
                          ? 0ms
                          : std::min<std::chrono::milliseconds>(
                                250ms * (1 << std::min(quickFailures_ - 1, 5)), kLongestBackOff);
    nextTry_ = Now() + wait;
}

TForm1::TimePoint TForm1::Now() const
{
    return now_ ? now_() : std::chrono::steady_clock::now();
}

} // namespace lantorvix
