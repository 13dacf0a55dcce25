#pragma once

#include "app/fake_program.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace lantorvix::test {

// The scanner pipeline without a desktop: the program over the fakes with a configured,
// present port that is open from the start. Used by the split property test, the pipeline
// fuzzer and the instruction-count benchmark. One thread.
class ScannerRig : public FakeProgram {
public:
    // settingsIni: the [SCANNER]/[PROGRAM] part of the settings file. folderPath: where the
    // settings file goes (made, and removed with the rig). typing: the keyboard the form
    // types into, the recording one when not given.
    ScannerRig(const std::filesystem::path& folderPath, const std::string& settingsIni,
               KeyboardPlatform* typing = nullptr)
        : FakeProgram(folderPath, CodePage::cp1252, typing)
    {
        system.ports = {{"/sys/devices/platform/usb1/ttyUSB0", "COM3"}};
        std::ofstream(system.settingsFile, std::ios::binary) << "[PORT]\nPortNum=3\n" << settingsIni;
        form->FormCreate();
        if (!form->Connected()) {
            throw std::runtime_error("the scanner rig's port did not open");
        }
        shell.calls.clear();
        keyState_ = keyboard.keyState;
    }

    // Back to the state right after the start without building the rig again: a time-out
    // and one more reception empty the buffer and stop the timer, the way the program itself
    // drops a stale code; the records are emptied.
    void Reset()
    {
        form->Timer1Timer();
        Receive("-");
        if (!form->ScanBuffer().empty() || form->ScanTimedOut() || shell.TimerEnabled()) {
            throw std::runtime_error("the scanner rig did not return to its start");
        }
        keyboard.events.clear();
        keyboard.boxes.clear();
        keyboard.calls.clear();
        keyboard.keyState = keyState_;
        shell.boxes.clear();
        shell.calls.clear();
    }

    // Everything the user saw: the typed text, then the boxes of the key sender and of the
    // program, in order.
    std::string Observed() const
    {
        std::string seen = keyboard.TypedText();
        for (const auto& box : keyboard.boxes) {
            seen += "\n[" + box.caption + ": " + box.text + "]";
        }
        for (const auto& box : shell.boxes) {
            seen += "\n[" + box.caption + ": " + box.text + "]";
        }
        return seen;
    }

private:
    KeyStateTable keyState_{};
};

} // namespace lantorvix::test
