#pragma once

#include "app/tform1.h"
#include "fake_system.h"
#include "serial/com_port.h"
#include "serial/main_thread_dispatcher.h"
#include "store/ini_file.h"
#include "support/fake_comm_device.h"
#include "support/fake_shell.h"
#include "support/recording_keyboard.h"
#include "support/test_temp_path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace lantorvix::test {

// TForm1 over the fake shell, a fake system, a real TComPort on a fake device and the
// recording keyboard; the settings file lives in a fresh folder per test.
class TForm1Test : public ::testing::Test {
protected:
    TForm1Test()
    {
        folder = TestTempPath("lantorvix-app-");
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        system.settingsFile = (folder / "Lantorvix.ini").string();
        system.ports = {{"/sys/devices/platform/serial8250/tty/ttyS0", "COM1"},
                        {"/sys/devices/platform/usb1/ttyUSB0", "COM3"}};
        form = std::make_unique<TForm1>(TForm1::Services{shell, system, keyboard,
                                                         [this] {
                                                             auto d = std::make_unique<FakeCommDevice>();
                                                             device = d.get();
                                                             return std::make_unique<TComPort>(
                                                                 nullptr, std::move(d), &dispatcher);
                                                         },
                                                         CodePage::cp1250, "https://maker.example/"});
        shell.Attach(form.get());
    }

    ~TForm1Test() override
    {
        shell.Attach(nullptr);
        form.reset();
        std::filesystem::remove_all(folder);
    }

    void WriteIni(const std::string& text) { std::ofstream(system.settingsFile, std::ios::binary) << text; }

    std::string ReadIni() const
    {
        std::ifstream in(system.settingsFile, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        // Lines the file adds end the platform's way; the tests compare their content.
        std::string text = s.str();
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        return text;
    }

    // Start-up with a configured, present port: the port is open afterwards.
    void StartWithPort(const std::string& extraIni = "")
    {
        WriteIni("[PORT]\nPortNum=3\n" + extraIni);
        form->FormCreate();
        ASSERT_TRUE(form->Connected());
        shell.calls.clear();
    }

    // One reception as the port delivers it: the bytes wait in the queue, the handler is
    // told their number.
    void Receive(const std::string& bytes)
    {
        device->Receive(bytes);
        form->ComPortRxChar(static_cast<int>(bytes.size()));
    }

    std::filesystem::path folder;
    MainThreadDispatcher dispatcher;
    FakeShell shell;
    FakeSystem system;
    RecordingKeyboard keyboard;
    FakeCommDevice* device = nullptr;
    std::unique_ptr<TForm1> form;
};

} // namespace lantorvix::test
