#include "support/x11_test_window.h"

#include "support/wait_until.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <xkbcommon/xkbcommon.h>

#include <stdexcept>

namespace lantorvix::test {

namespace {
void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}
} // namespace

X11TestWindow::X11TestWindow(const std::string& display)
{
    display_ = XOpenDisplay(display.c_str());
    if (display_ == nullptr) {
        throw std::runtime_error("cannot open display " + display);
    }
    const int screen = DefaultScreen(display_);
    window_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), 10, 10, 300, 100, 1,
                                  BlackPixel(display_, screen), WhitePixel(display_, screen));
    XSelectInput(display_, window_, KeyPressMask | StructureNotifyMask | FocusChangeMask);
    XMapWindow(display_, window_);
    XFlush(display_);
    if (!WaitUntil([&] {
            Pump();
            return mapped_;
        })) {
        throw std::runtime_error("test window was not mapped");
    }
    // No window manager: the client gives itself the focus.
    XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
    XFlush(display_);
    if (!WaitUntil([&] {
            Pump();
            return focused_;
        })) {
        throw std::runtime_error("test window did not get the focus");
    }
}

X11TestWindow::~X11TestWindow()
{
    XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
}

void X11TestWindow::Pump()
{
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        switch (event.type) {
        case MapNotify:
            mapped_ = true;
            break;
        case FocusIn:
            focused_ = true;
            break;
        case FocusOut:
            focused_ = false;
            break;
        case KeyPress: {
            KeySym sym = NoSymbol;
            char buf[32];
            XLookupString(&event.xkey, buf, sizeof buf, &sym, nullptr);
            if (IsModifierKey(sym) || sym == NoSymbol) {
                break;
            }
            ++presses_;
            const char32_t c = xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(sym));
            if ((c >= 0x20 && c != 0x7F) || c == '\r' || c == '\t' || c == '\b') {
                AppendUtf8(text_, c);
            } else {
                const char* name = XKeysymToString(sym);
                text_ += std::string("<") + (name != nullptr ? name : "?") + ">";
            }
            break;
        }
        default:
            break;
        }
    }
}

std::string X11TestWindow::WaitForLength(std::size_t length, std::chrono::milliseconds bound)
{
    WaitUntil(
        [&] {
            Pump();
            return text_.size() >= length;
        },
        bound);
    return text_;
}

std::string X11TestWindow::WaitForText(const std::string& expected, std::chrono::milliseconds bound)
{
    WaitUntil(
        [&] {
            Pump();
            return text_ == expected;
        },
        bound);
    // Whatever the server still holds for us arrives before the reply to a round trip.
    XSync(display_, False);
    Pump();
    return text_;
}

void X11TestWindow::Clear()
{
    Pump();
    text_.clear();
    presses_ = 0;
}

} // namespace lantorvix::test
