// Scanner input: receptions are collected in ScanBuffer and cut into codes at the stop
// string; each code is typed with the added key.

#include "app/tform1.h"

#include "keys/send_keys.h"
#include "serial/com_port.h"

namespace lantorvix {

void TForm1::ComPortRxChar(int count)
{
    if (count <= 0) {
        return;
    }
    if (scanTimedOut_) {
        // The code that timed out and this whole reception go together.
        std::string discarded;
        comPort_->ReadText(discarded, count);
        scanBuffer_.clear();
        scanTimedOut_ = false;
        shell_.SetTimerEnabled(false);
        return;
    }
    if (!shell_.TimerEnabled()) {
        shell_.SetTimerEnabled(true);
    }
    std::string received;
    comPort_->ReadText(received, count);
    scanBuffer_ += received;
    ExtractCodes();
    if (scanBuffer_.size() >= kScanBufferLimit) {
        // A run with no stop string: emptied silently, the timer left running.
        scanBuffer_.clear();
    }
}

void TForm1::Timer1Timer()
{
    scanTimedOut_ = true;
}

void TForm1::ExtractCodes()
{
    const std::string& stop = appSettings_.StopString;
    if (stop.empty()) {
        return;
    }
    while (!scanBuffer_.empty()) {
        const auto at = scanBuffer_.find(stop);
        if (at == std::string::npos) {
            return;
        }
        const std::size_t used = at + stop.size();
        if (used >= kScanBufferLimit) {
            // This code could not have fitted in the buffer: dropped like any overflow. Codes
            // that merely arrived together (a busy main thread, a burst) are each typed.
            scanBuffer_.erase(0, used);
            continue;
        }
        std::string code = scanBuffer_.substr(0, at);
        if (appSettings_.DiscardNull) {
            std::size_t zeros = 0;
            while (zeros + 1 < code.size() && code[zeros] == '0') {
                ++zeros;
            }
            code.erase(0, zeros);
        }
        // Out of the buffer before typing: a box opened while typing runs a nested loop,
        // and nothing that runs there may see this code again.
        scanBuffer_.erase(0, at + stop.size());
        const auto failure = TypeCode(code, appSettings_.AddedString);
        shell_.SetTimerEnabled(false);
        if (failure) {
            // The code is dropped; the rest of the buffer and later receptions go on.
            ShowGeneralError(*failure);
        }
    }
}

std::optional<std::string> TForm1::TypeCode(const std::string& code, const std::string& added)
{
    std::optional<std::string> failure;
    try {
        if (appSettings_.LiteralCodes) {
            // A printed label is data: it cannot press shortcuts.
            SendLiteralKeys(keyboard_, code, added, false);
        } else {
            SendKeys(keyboard_, code + added, false);
        }
    } catch (const std::exception& e) {
        failure = e.what();
    }
    keyboard_.ReleaseModifiers();
    return failure;
}

} // namespace lantorvix
