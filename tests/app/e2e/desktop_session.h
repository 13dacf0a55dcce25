#pragma once

// Start-up steps shared by the tests that drive the real program on a private X server.

#include "child_process.h"
#include "desktop_folder.h"
#include "x_probe.h"

#include "support/wait_until.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>

namespace lantorvix::test {

// trayer as the tray host; returns once it holds the tray.
inline void StartTrayHost(const std::map<std::string, std::string>& env, XProbe& probe,
                          std::unique_ptr<ChildProcess>& trayer)
{
    using namespace std::chrono_literals;
    trayer = std::make_unique<ChildProcess>(ChildProcess::Options{TrayHostCommand(), env, "", false, false});
    ASSERT_TRUE(WaitUntil([&] { return probe.TrayHostRunning(); }, 15s)) << "trayer did not take the tray";
}

// The receiver window the scans are typed into, started and found on the display.
inline void StartReceiver(const std::map<std::string, std::string>& env, XProbe& probe,
                          std::unique_ptr<ChildProcess>& receiver, XProbe::Window& receiverWindow)
{
    using namespace std::chrono_literals;
    receiver =
        std::make_unique<ChildProcess>(ChildProcess::Options{{LANTORVIX_RECEIVER}, env, "", false, true});
    ASSERT_EQ(receiver->ReadLine(20s), "ready");
    const auto w = probe.WaitForWindowNamed("Lantorvix receiver", 15s);
    ASSERT_TRUE(w);
    receiverWindow = *w;
}

} // namespace lantorvix::test
