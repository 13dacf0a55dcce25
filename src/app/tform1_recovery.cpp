// Recovery: when the scanner goes away the port is closed at once and the form waits for the
// same name or path to come back, then opens it again with the same settings, showing
// nothing. The same wait covers a configured port that is absent at start-up.

#include "app/tform1.h"

#include "serial/com_port.h"

namespace lantorvix {

void TForm1::ComPortDeviceLost()
{
    // A code cut off by the loss must never be joined to the first scan after the return.
    scanBuffer_.clear();
    scanTimedOut_ = false;
    shell_.SetTimerEnabled(false);
    // Closed now: while a vanished tty is held open, the returning adapter gets a new name.
    comPort_->Close();
    WaitForPort();
}

void TForm1::PortMayBeBack()
{
    if (!Connected()) {
        try {
            comPort_->Open();
        } catch (const std::exception&) {
            // Not shown: the device may appear before it can be opened (udev still setting its
            // permissions); the next chance tries again.
            return;
        }
    }
    StopWaitingForPort();
}

bool TForm1::WaitingForPort() const
{
    return deviceWatch_ && deviceWatch_->Watching();
}

void TForm1::WaitForPort()
{
    if (deviceWatch_) {
        deviceWatch_->Watch(comPort_->Port(), [this] { RunHandler([this] { PortMayBeBack(); }); });
    }
}

void TForm1::StopWaitingForPort()
{
    if (deviceWatch_) {
        deviceWatch_->Stop();
    }
}

} // namespace lantorvix
