#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct _XDisplay;

namespace lantorvix::test {

// A test's own connection to the X server: finds windows by name and class, tells where they
// are, and moves, clicks and types through XTest like a person would. One thread.
class XProbe {
public:
    using Window = unsigned long;
    struct Rect {
        int x = 0; // root coordinates
        int y = 0;
        int width = 0;
        int height = 0;
    };

    explicit XProbe(const std::string& display);
    ~XProbe();
    XProbe(const XProbe&) = delete;
    XProbe& operator=(const XProbe&) = delete;

    // Viewable top-level windows whose title is exactly the name (a tray icon, embedded in
    // the tray host, never matches).
    std::vector<Window> WindowsNamed(const std::string& name);
    // Viewable windows of the program (WM_CLASS instance name) that are not top-level
    // windows: tray icons embedded in the tray host.
    std::vector<Window> EmbeddedWindows(const std::string& instance);
    // Viewable top-level windows of the program (menus, boxes, the settings window).
    std::vector<Window> TopLevelWindows(const std::string& instance);
    std::optional<Window> WaitForWindowNamed(const std::string& name, std::chrono::milliseconds bound);

    Rect Geometry(Window window);
    void MoveTo(int x, int y);
    void Click(int button, int count = 1);
    // Types a key by keysym name ("Tab", "Down", "Return", "a").
    void Key(const std::string& keysym);
    // A key with a modifier held ("Alt_L", "y").
    void Chord(const std::string& modifier, const std::string& keysym);
    void Focus(Window window);
    // What a window manager sends when the window's title-bar close button is pressed
    // (WM_DELETE_WINDOW).
    void RequestClose(Window window);
    // Whether a tray host owns the system tray selection of screen 0.
    bool TrayHostRunning();
    void Sync();

private:
    void Walk(Window window, int depth, const std::function<void(Window, int)>& visit);
    bool Viewable(Window window);
    std::string Name(Window window);
    std::string Instance(Window window);

    _XDisplay* display_ = nullptr;
};

} // namespace lantorvix::test
