#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

struct _XDisplay;

namespace lantorvix::test {

// A small X client window that takes the keyboard focus and records what is typed into it:
// characters as UTF-8, other keys as "<Keysym>" (e.g. "<Home>"); modifier keys themselves
// are not recorded. Own connection; one thread.
class X11TestWindow {
public:
    // Opens the display, maps the window and waits (bounded) until it has the focus; throws
    // std::runtime_error when that fails.
    explicit X11TestWindow(const std::string& display);
    ~X11TestWindow();
    X11TestWindow(const X11TestWindow&) = delete;
    X11TestWindow& operator=(const X11TestWindow&) = delete;

    // Takes the events that have arrived so far.
    void Pump();
    // Pumps until the text has at least `length` bytes or the bound passes; returns the text.
    std::string WaitForLength(std::size_t length, std::chrono::milliseconds bound = std::chrono::seconds(10));
    // Pumps until the text equals `expected` or the bound passes (then it also waits for a
    // round trip so that nothing more is on its way); returns the text.
    std::string WaitForText(const std::string& expected,
                            std::chrono::milliseconds bound = std::chrono::seconds(10));
    const std::string& Text() const { return text_; }
    std::size_t KeyPresses() const { return presses_; }
    void Clear();

private:
    _XDisplay* display_ = nullptr;
    unsigned long window_ = 0;
    bool mapped_ = false;
    bool focused_ = false;
    std::string text_;
    std::size_t presses_ = 0;
};

} // namespace lantorvix::test
