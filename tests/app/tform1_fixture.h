#pragma once

#include "app/fake_program.h"
#include "store/ini_file.h"
#include "support/test_temp_path.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace lantorvix::test {

// TForm1 over the fakes (cp1250, two ports in the system) with its settings file in a fresh
// folder per test.
class TForm1Test : public ::testing::Test, protected FakeProgram {
protected:
    TForm1Test() : FakeProgram(TestTempPath("lantorvix-app-"), CodePage::cp1250)
    {
        system.ports = {{"/sys/devices/platform/serial8250/tty/ttyS0", "COM1"},
                        {"/sys/devices/platform/usb1/ttyUSB0", "COM3"}};
        clock = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
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
};

} // namespace lantorvix::test
