#pragma once

// Start-up steps shared by the tests that drive the real program on a private X server.

#include "child_process.h"
#include "desktop_folder.h"
#include "x_probe.h"

#include "app/form_layout.h"
#include "support/file_bytes.h"
#include "support/wait_until.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

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

// The scanner simulator (exe) on a new pseudo-terminal, codes from its standard input, kept
// until the test ends; returns the terminal's path, empty (with a test failure) without one.
inline std::string StartSimulator(const std::map<std::string, std::string>& env, const std::string& exe,
                                  bool waitFlush, std::unique_ptr<ChildProcess>& simulator)
{
    using namespace std::chrono_literals;
    std::vector<std::string> argv = {exe, "--quiet", "--delay", "0", "--linger", "-1"};
    if (waitFlush) {
        argv.insert(argv.begin() + 2, "--wait-flush");
    }
    simulator = std::make_unique<ChildProcess>(ChildProcess::Options{argv, env, "", true, true});
    const auto path = simulator->ReadLine(10s);
    EXPECT_TRUE(path && path->rfind("/dev/", 0) == 0) << "the simulator made no terminal";
    return path && path->rfind("/dev/", 0) == 0 ? *path : std::string();
}

inline const std::string kSettingsWindowTitle = "Lantorvix - Beállítások";

// The settings window, opened by a double click on the program's one tray icon.
inline std::optional<XProbe::Window> OpenSettingsFromTray(XProbe& probe)
{
    using namespace std::chrono_literals;
    const auto icons = probe.EmbeddedWindows("lantorvix");
    EXPECT_EQ(icons.size(), 1u);
    if (icons.empty()) {
        return std::nullopt;
    }
    const auto icon = probe.Geometry(icons.front());
    probe.MoveTo(icon.x + icon.width / 2, icon.y + icon.height / 2);
    probe.Click(1, 2);
    const auto window = probe.WaitForWindowNamed(kSettingsWindowTitle, 10s);
    EXPECT_TRUE(window) << "a double click did not show the window";
    return window;
}

// A click in the middle of a control (cid::...) of the settings window, where the control
// table puts it.
inline void ClickControl(XProbe& probe, XProbe::Window window, int id)
{
    const ControlLayout* control = FindControl(id);
    ASSERT_NE(control, nullptr) << "no control " << id;
    const auto g = probe.Geometry(window);
    probe.MoveTo(g.x + control->left + control->width / 2, g.y + control->top + control->height / 2);
    probe.Click(1);
}

// The texts of the message boxes the program showed, one a line, as the box log shim wrote them.
inline std::vector<std::string> LoggedBoxes(const std::filesystem::path& boxLog)
{
    std::vector<std::string> boxes;
    std::istringstream in(ReadBytes(boxLog));
    for (std::string line; std::getline(in, line);) {
        boxes.push_back(line);
    }
    return boxes;
}

} // namespace lantorvix::test
