#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct _XDisplay;

namespace lantorvix::bench {

// The focused application of the benchmarks: an X window on its own connection whose reader
// thread turns key events into lines. A line ends at the release of Return; it is stamped
// with CLOCK_MONOTONIC (steady_clock) the moment that event is read, the same clock the
// writer of the serial line uses. Thread-safe: the reader thread fills, any thread waits.
class KeyClock {
public:
    using Clock = std::chrono::steady_clock;
    struct Line {
        std::string text;
        Clock::time_point at;
    };

    // Opens the display, maps the window, gives it the focus (no window manager) and starts
    // reading; throws std::runtime_error when that fails within a bound.
    explicit KeyClock(const std::string& display);
    ~KeyClock();
    KeyClock(const KeyClock&) = delete;
    KeyClock& operator=(const KeyClock&) = delete;

    // Line number `index` (0-based, counting every line since the start or the last Reset),
    // waiting at most `bound`.
    std::optional<Line> WaitLine(std::size_t index, std::chrono::milliseconds bound);
    std::size_t Lines() const;
    // Forgets every line so far (the next one is index 0).
    void Reset();
    // Takes the focus again (another program may have taken it).
    void Focus();

private:
    void Read();

    _XDisplay* display_ = nullptr;
    unsigned long window_ = 0;
    int wake_[2] = {-1, -1};
    std::thread reader_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool mapped_ = false;
    bool focused_ = false;
    std::string pending_;
    std::vector<Line> lines_;
};

} // namespace lantorvix::bench
