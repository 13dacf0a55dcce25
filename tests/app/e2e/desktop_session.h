#pragma once

// Start-up steps shared by the tests that drive the real program on a private X server.

#include "child_process.h"
#include "x_probe.h"

#include "support/test_temp_path.h"
#include "support/wait_until.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

namespace lantorvix::test {

// A fresh folder for one test's program: work/ is its directory (where its settings file
// is); runtime/, config/ and xdg/ stand behind the XDG variables. Removed with all it holds.
class TestFolder {
public:
    explicit TestFolder(const std::string& prefix) : path_(TestTempPath(prefix))
    {
        namespace fs = std::filesystem;
        fs::remove_all(path_);
        for (const char* sub : {"work", "runtime", "config", "xdg"}) {
            fs::create_directories(path_ / sub);
        }
        fs::permissions(path_ / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    }

    ~TestFolder()
    {
        namespace fs = std::filesystem;
        std::error_code ignored;
        // A test may have taken write permission away from the program's directory.
        fs::permissions(path_ / "work", fs::perms::owner_all, fs::perm_options::replace, ignored);
        fs::remove_all(path_, ignored);
    }

    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

    // The environment of a Qt program on the X display, with this folder's XDG directories.
    std::map<std::string, std::string> DesktopEnvironment(const std::string& display) const
    {
        return {{"DISPLAY", display},
                {"XDG_RUNTIME_DIR", (path_ / "runtime").string()},
                {"XDG_CONFIG_HOME", (path_ / "config").string()},
                {"XDG_CONFIG_DIRS", (path_ / "xdg").string()},
                {"QT_QPA_PLATFORM", "xcb"},
                {"WAYLAND_DISPLAY", ""},
                {"XDG_SESSION_TYPE", "x11"}};
    }

private:
    std::filesystem::path path_;
};

// trayer as the tray host; returns once it holds the tray.
inline void StartTrayHost(const std::map<std::string, std::string>& env, XProbe& probe,
                          std::unique_ptr<ChildProcess>& trayer)
{
    using namespace std::chrono_literals;
    trayer = std::make_unique<ChildProcess>(
        ChildProcess::Options{{"trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request",
                               "--height", "32", "--SetDockType", "false", "--SetPartialStrut", "false"},
                              env,
                              "",
                              false,
                              false});
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
