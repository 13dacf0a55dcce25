#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace lantorvix::test {

// Polls a condition with a short back-off until it holds or the bound passes. For
// conditions that nothing signals (another process, the X server); where a condition
// variable exists, wait on it instead.
template <typename Condition>
bool WaitUntil(Condition&& condition, std::chrono::milliseconds bound = std::chrono::seconds(10))
{
    const auto deadline = std::chrono::steady_clock::now() + bound;
    auto pause = std::chrono::microseconds(50);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return condition();
        }
        std::this_thread::sleep_for(pause);
        pause = std::min<std::chrono::microseconds>(pause * 2, std::chrono::milliseconds(20));
    }
    return true;
}

// Waits on a condition variable for a predicate, with a bound.
template <typename Predicate>
bool WaitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, Predicate&& predicate,
             std::chrono::milliseconds bound = std::chrono::seconds(10))
{
    return cv.wait_for(lock, bound, std::forward<Predicate>(predicate));
}

} // namespace lantorvix::test
