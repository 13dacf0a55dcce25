#include "key_clock.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <poll.h>
#include <stdexcept>
#include <unistd.h>

namespace lantorvix::bench {

KeyClock::KeyClock(const std::string& display)
{
    XInitThreads();
    display_ = XOpenDisplay(display.c_str());
    if (display_ == nullptr) {
        throw std::runtime_error("cannot open display " + display);
    }
    const int screen = DefaultScreen(display_);
    window_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), 10, 10, 300, 100, 1,
                                  BlackPixel(display_, screen), WhitePixel(display_, screen));
    XStoreName(display_, window_, "Lantorvix bench receiver");
    XSelectInput(display_, window_, KeyPressMask | KeyReleaseMask | StructureNotifyMask | FocusChangeMask);
    XMapWindow(display_, window_);
    XFlush(display_);
    if (::pipe(wake_) != 0) {
        throw std::runtime_error("pipe");
    }
    reader_ = std::thread([this] { Read(); });
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::seconds(10), [&] { return mapped_; })) {
        throw std::runtime_error("bench window was not mapped");
    }
    lock.unlock();
    Focus();
}

KeyClock::~KeyClock()
{
    const char stop = 'q';
    [[maybe_unused]] auto n = ::write(wake_[1], &stop, 1);
    reader_.join();
    ::close(wake_[0]);
    ::close(wake_[1]);
    XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
}

void KeyClock::Focus()
{
    XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
    XFlush(display_);
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(10), [&] { return focused_; });
}

void KeyClock::Read()
{
    const int fd = ConnectionNumber(display_);
    for (;;) {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            const auto now = Clock::now();
            std::lock_guard lock(mutex_);
            if (event.type == MapNotify) {
                mapped_ = true;
            } else if (event.type == FocusIn) {
                focused_ = true;
            } else if (event.type == FocusOut) {
                focused_ = false;
            } else if (event.type == KeyPress || event.type == KeyRelease) {
                KeySym sym = NoSymbol;
                char buf[16];
                const int n = XLookupString(&event.xkey, buf, sizeof buf, &sym, nullptr);
                if (sym == XK_Return || sym == XK_KP_Enter) {
                    if (event.type == KeyRelease) {
                        lines_.push_back({pending_, now});
                        pending_.clear();
                    }
                } else if (event.type == KeyPress && !IsModifierKey(sym)) {
                    if (sym == XK_Tab) {
                        pending_ += "<TAB>";
                    } else if (n > 0) {
                        pending_.append(buf, static_cast<std::size_t>(n));
                    } else {
                        const char* name = XKeysymToString(sym);
                        pending_ += std::string("<") + (name != nullptr ? name : "?") + ">";
                    }
                }
            }
            changed_.notify_all();
        }
        pollfd fds[2] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            continue;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            return;
        }
    }
}

std::optional<KeyClock::Line> KeyClock::WaitLine(std::size_t index, std::chrono::milliseconds bound)
{
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, bound, [&] { return lines_.size() > index; })) {
        return std::nullopt;
    }
    return lines_[index];
}

std::size_t KeyClock::Lines() const
{
    std::lock_guard lock(mutex_);
    return lines_.size();
}

void KeyClock::Reset()
{
    std::lock_guard lock(mutex_);
    lines_.clear();
    pending_.clear();
}

} // namespace lantorvix::bench
