#include "x_probe.h"

#include "support/wait_until.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <stdexcept>

namespace lantorvix::test {

namespace {

// Windows come and go while the tree is walked; a vanished one is simply skipped.
int IgnoreErrors(Display*, XErrorEvent*)
{
    return 0;
}

} // namespace

XProbe::XProbe(const std::string& display) : display_(XOpenDisplay(display.c_str()))
{
    XSetErrorHandler(IgnoreErrors);
    if (display_ == nullptr) {
        throw std::runtime_error("cannot open display " + display);
    }
}

XProbe::~XProbe()
{
    XCloseDisplay(display_);
}

void XProbe::Walk(Window window, int depth, const std::function<void(Window, int)>& visit)
{
    visit(window, depth);
    ::Window root = 0;
    ::Window parent = 0;
    ::Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display_, window, &root, &parent, &children, &count) == 0) {
        return;
    }
    std::vector<Window> list(children, children + count);
    if (children != nullptr) {
        XFree(children);
    }
    for (Window child : list) {
        Walk(child, depth + 1, visit);
    }
}

bool XProbe::Viewable(Window window)
{
    XWindowAttributes a{};
    return XGetWindowAttributes(display_, window, &a) != 0 && a.map_state == IsViewable;
}

std::string XProbe::Name(Window window)
{
    // _NET_WM_NAME holds the title in UTF-8; WM_NAME may be Latin-1 or compound text.
    const Atom netName = XInternAtom(display_, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::string name;
    if (XGetWindowProperty(display_, window, netName, 0, 1024, False, utf8, &type, &format, &count, &after,
                           &data) == Success &&
        data != nullptr) {
        name.assign(reinterpret_cast<const char*>(data), count);
        XFree(data);
        return name;
    }
    XTextProperty prop{};
    if (XGetWMName(display_, window, &prop) != 0 && prop.value != nullptr) {
        name.assign(reinterpret_cast<const char*>(prop.value), prop.nitems);
        XFree(prop.value);
    }
    return name;
}

std::string XProbe::Instance(Window window)
{
    XClassHint hint{};
    std::string instance;
    if (XGetClassHint(display_, window, &hint) != 0) {
        if (hint.res_name != nullptr) {
            instance = hint.res_name;
            XFree(hint.res_name);
        }
        if (hint.res_class != nullptr) {
            XFree(hint.res_class);
        }
    }
    return instance;
}

std::vector<XProbe::Window> XProbe::WindowsNamed(const std::string& name)
{
    std::vector<Window> found;
    Walk(DefaultRootWindow(display_), 0, [&](Window w, int depth) {
        if (depth == 1 && Name(w) == name && Viewable(w)) {
            found.push_back(w);
        }
    });
    return found;
}

std::vector<XProbe::Window> XProbe::EmbeddedWindows(const std::string& instance)
{
    std::vector<Window> found;
    Walk(DefaultRootWindow(display_), 0, [&](Window w, int depth) {
        if (depth > 1 && Instance(w) == instance && Viewable(w)) {
            found.push_back(w);
        }
    });
    return found;
}

std::vector<XProbe::Window> XProbe::TopLevelWindows(const std::string& instance)
{
    std::vector<Window> found;
    Walk(DefaultRootWindow(display_), 0, [&](Window w, int depth) {
        if (depth == 1 && Instance(w) == instance && Viewable(w)) {
            found.push_back(w);
        }
    });
    return found;
}

std::optional<XProbe::Window> XProbe::WaitForWindowNamed(const std::string& name,
                                                         std::chrono::milliseconds bound)
{
    std::optional<Window> window;
    WaitUntil(
        [&] {
            const auto all = WindowsNamed(name);
            if (!all.empty()) {
                window = all.front();
            }
            return window.has_value();
        },
        bound);
    return window;
}

XProbe::Rect XProbe::Geometry(Window window)
{
    XWindowAttributes a{};
    XGetWindowAttributes(display_, window, &a);
    int x = 0;
    int y = 0;
    ::Window child = 0;
    XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
    return {x, y, a.width, a.height};
}

void XProbe::MoveTo(int x, int y)
{
    XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
    Sync();
}

void XProbe::Click(int button, int count)
{
    for (int i = 0; i < count; ++i) {
        XTestFakeButtonEvent(display_, static_cast<unsigned>(button), True, CurrentTime);
        XTestFakeButtonEvent(display_, static_cast<unsigned>(button), False, CurrentTime);
    }
    Sync();
}

void XProbe::Key(const std::string& keysym)
{
    const KeySym sym = XStringToKeysym(keysym.c_str());
    const KeyCode code = XKeysymToKeycode(display_, sym);
    if (code == 0) {
        throw std::runtime_error("no key for " + keysym);
    }
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    Sync();
}

void XProbe::Chord(const std::string& modifier, const std::string& keysym)
{
    const KeyCode mod = XKeysymToKeycode(display_, XStringToKeysym(modifier.c_str()));
    if (mod == 0) {
        throw std::runtime_error("no key for " + modifier);
    }
    XTestFakeKeyEvent(display_, mod, True, CurrentTime);
    Key(keysym);
    XTestFakeKeyEvent(display_, mod, False, CurrentTime);
    Sync();
}

void XProbe::Focus(Window window)
{
    XRaiseWindow(display_, window);
    XSetInputFocus(display_, window, RevertToPointerRoot, CurrentTime);
    Sync();
}

void XProbe::RequestClose(Window window)
{
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, window, False, NoEventMask, &e);
    XFlush(display_);
}

bool XProbe::TrayHostRunning()
{
    const Atom selection = XInternAtom(display_, "_NET_SYSTEM_TRAY_S0", False);
    return XGetSelectionOwner(display_, selection) != None;
}

void XProbe::Sync()
{
    XSync(display_, False);
}

} // namespace lantorvix::test
