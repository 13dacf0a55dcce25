#pragma once

// What the real program needs around it on a private X display, for tests and benchmarks:
// its folders and environment, and the tray host's command. No test framework here.

#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace lantorvix::test {

// A fresh folder for the program: work/ is its directory (where its settings file is);
// runtime/, config/ and xdg/ stand behind the XDG variables. Removed with all it holds.
class DesktopFolder {
public:
    explicit DesktopFolder(std::filesystem::path path) : path_(std::move(path))
    {
        namespace fs = std::filesystem;
        fs::remove_all(path_);
        for (const char* sub : {"work", "runtime", "config", "xdg"}) {
            fs::create_directories(path_ / sub);
        }
        fs::permissions(path_ / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    }

    ~DesktopFolder()
    {
        namespace fs = std::filesystem;
        std::error_code ignored;
        // A test may have taken write permission away from the program's directory.
        fs::permissions(path_ / "work", fs::perms::owner_all, fs::perm_options::replace, ignored);
        fs::remove_all(path_, ignored);
    }

    DesktopFolder(const DesktopFolder&) = delete;
    DesktopFolder& operator=(const DesktopFolder&) = delete;

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

// trayer as a tray host at the bottom right, sized to its icons.
inline std::vector<std::string> TrayHostCommand()
{
    return {"trayer",  "--edge",   "bottom", "--align",       "right", "--widthtype",
            "request", "--height", "32",     "--SetDockType", "false", "--SetPartialStrut",
            "false"};
}

} // namespace lantorvix::test
