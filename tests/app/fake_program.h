#pragma once

#include "app/fake_system.h"
#include "app/tform1.h"
#include "serial/com_port.h"
#include "serial/main_thread_dispatcher.h"
#include "support/fake_comm_device.h"
#include "support/fake_device_identity.h"
#include "support/fake_device_watch.h"
#include "support/fake_shell.h"
#include "support/recording_keyboard.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace lantorvix::test {

// TForm1 assembled over the fakes: the fake shell and system, a real TComPort on a fake
// device (`device` is the one the form opened last), typing into the recording keyboard or
// the one given, waiting for a lost port through the fake watch. The settings file is
// <folder>/Lantorvix.ini; the folder is made here and removed, with all it holds, at the
// end. One thread.
class FakeProgram {
public:
    // Real parts instead of the fakes (the platform's device and watch, for the pty tests).
    struct Parts {
        std::function<std::unique_ptr<CommDevice>()> device;
        std::function<std::unique_ptr<DeviceWatch>(MainThreadDispatcher&)> watch;
    };

    FakeProgram(std::filesystem::path folderPath, CodePage codePage, KeyboardPlatform* typing = nullptr,
                Parts parts = {})
        : folder(std::move(folderPath))
    {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        system.settingsFile = (folder / "Lantorvix.ini").string();
        form = std::make_unique<TForm1>(
            TForm1::Services{shell, system, typing != nullptr ? *typing : keyboard,
                             [this, makeDevice = parts.device]() -> std::unique_ptr<TComPort> {
                                 if (makeDevice) {
                                     return std::make_unique<TComPort>(nullptr, makeDevice(), &dispatcher);
                                 }
                                 auto d = std::make_unique<FakeCommDevice>();
                                 device = d.get();
                                 return std::make_unique<TComPort>(nullptr, std::move(d), &dispatcher);
                             },
                             codePage, "https://maker.example/",
                             [this, makeWatch = parts.watch]() -> std::unique_ptr<DeviceWatch> {
                                 if (makeWatch) {
                                     return makeWatch(dispatcher);
                                 }
                                 auto w = std::make_unique<FakeDeviceWatch>();
                                 watch = w.get();
                                 return w;
                             },
                             &identity, [this] { return clock.value_or(std::chrono::steady_clock::now()); }});
        shell.Attach(form.get());
    }

    ~FakeProgram()
    {
        shell.Attach(nullptr);
        form.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    FakeProgram(const FakeProgram&) = delete;
    FakeProgram& operator=(const FakeProgram&) = delete;

    // One reception as the port delivers it: the bytes wait in the queue, the handler is
    // told their number.
    void Receive(std::string_view bytes)
    {
        device->Receive(std::string(bytes));
        form->ComPortRxChar(static_cast<int>(bytes.size()));
    }

    const std::filesystem::path folder;
    MainThreadDispatcher dispatcher;
    FakeShell shell;
    FakeSystem system;
    RecordingKeyboard keyboard;
    FakeCommDevice* device = nullptr;
    FakeDeviceWatch* watch = nullptr;
    FakeDeviceIdentity identity;
    // The time the form reads, when a test moves it on by hand; otherwise the steady clock.
    std::optional<std::chrono::steady_clock::time_point> clock;
    std::unique_ptr<TForm1> form;
};

} // namespace lantorvix::test
