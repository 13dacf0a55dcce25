#pragma once

#include "app/fake_system.h"
#include "app/tform1.h"
#include "serial/com_port.h"
#include "serial/main_thread_dispatcher.h"
#include "support/fake_comm_device.h"
#include "support/fake_shell.h"
#include "support/recording_keyboard.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace lantorvix::test {

// The scanner pipeline without a desktop: TForm1 over the fake shell and system, a real
// TComPort on the fake device, typing into the recording keyboard. Receive() is one
// reception as the port delivers it. Used by the split property test, the pipeline fuzzer
// and the instruction-count benchmark. One thread.
class ScannerRig {
public:
    // settingsIni: the [SCANNER]/[PROGRAM] part of the settings file; the port is always
    // configured and present. folder: where the settings file goes (created, and removed with
    // the rig). typing: the
    // keyboard the form types into, the recording one when not given.
    ScannerRig(const std::filesystem::path& folder, const std::string& settingsIni,
               KeyboardPlatform* typing = nullptr)
        : folder_(folder)
    {
        std::filesystem::create_directories(folder);
        system.settingsFile = (folder / "Lantorvix.ini").string();
        system.ports = {{"/sys/devices/platform/usb1/ttyUSB0", "COM3"}};
        std::ofstream(system.settingsFile, std::ios::binary) << "[PORT]\nPortNum=3\n" << settingsIni;
        form = std::make_unique<TForm1>(
            TForm1::Services{shell, system, typing != nullptr ? *typing : keyboard,
                             [this] {
                                 auto d = std::make_unique<FakeCommDevice>();
                                 device = d.get();
                                 return std::make_unique<TComPort>(nullptr, std::move(d), &dispatcher);
                             },
                             CodePage::cp1252, "https://maker.example/"});
        shell.Attach(form.get());
        form->FormCreate();
        if (!form->Connected()) {
            throw std::runtime_error("the scanner rig's port did not open");
        }
        shell.calls.clear();
    }

    ~ScannerRig()
    {
        shell.Attach(nullptr);
        form.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    ScannerRig(const ScannerRig&) = delete;
    ScannerRig& operator=(const ScannerRig&) = delete;

    void Receive(std::string_view bytes)
    {
        device->Receive(std::string(bytes));
        form->ComPortRxChar(static_cast<int>(bytes.size()));
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

    MainThreadDispatcher dispatcher;
    FakeShell shell;
    FakeSystem system;
    RecordingKeyboard keyboard;
    FakeCommDevice* device = nullptr;
    std::unique_ptr<TForm1> form;

private:
    std::filesystem::path folder_;
};

} // namespace lantorvix::test
