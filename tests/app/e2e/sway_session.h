#pragma once

// A headless sway for tests: its own folder, the user it runs as (sway refuses root, so a
// root test runs it, and every program of the session, as "nobody"), and a keyboard of the
// test's own with the session's layout standing for the user's.

#include "child_process.h"
#include "desktop_folder.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace lantorvix {
class WaylandVirtualKeyboard;
}

namespace lantorvix::test {

class SwaySession {
public:
    // `layout`, `variant`: the XKB layout of the user's keyboard; `programs` are copied into
    // the session's folder, where the session's user can run them.
    SwaySession(const std::filesystem::path& folder, const std::string& layout, const std::string& variant,
                const std::vector<std::string>& programs);
    ~SwaySession();
    SwaySession(const SwaySession&) = delete;
    SwaySession& operator=(const SwaySession&) = delete;

    // False (with the reason in Failure()) when sway did not come up.
    bool Running() const { return failure_.empty(); }
    const std::string& Failure() const { return failure_; }
    const std::filesystem::path& Folder() const { return folder_.Path(); }
    // The copy of a program given at construction, by its file name.
    std::string Program(const std::string& name) const { return (Folder() / "bin" / name).string(); }

    // A program of the session, run as its user with its environment.
    std::unique_ptr<ChildProcess> Start(std::vector<std::string> argv,
                                        const std::string& workingDirectory = {}, bool pipeStdin = false,
                                        bool captureStdout = true);
    // A sway command; true when sway carried it out.
    bool Command(const std::string& command);
    // Gives a file of the test to the session's user.
    void Hand(const std::filesystem::path& path) const;

    // A session bus and waybar with its tray (a StatusNotifierItem host); false when the host
    // did not come up.
    bool StartTrayBar();
    // The items the tray host holds, as the bus reports them.
    std::string TrayItems();

    // Ends the compositor, as when the session ends.
    void End();

    // The user's keyboard: presses and releases a key (evdev code) with the session's layout.
    void UserTypes(const std::vector<std::uint16_t>& keys);

private:
    std::vector<std::string> AsUser(std::vector<std::string> argv) const;

    DesktopFolder folder_;
    std::map<std::string, std::string> env_;
    std::unique_ptr<ChildProcess> sway_;
    std::unique_ptr<ChildProcess> bus_, bar_;
    std::unique_ptr<WaylandVirtualKeyboard> userKeyboard_;
    std::string failure_;
};

} // namespace lantorvix::test
