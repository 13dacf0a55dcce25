#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace lantorvix::test {

// Lets a number of threads start together, to make them race. Built on a condition
// variable because std::latch in the MinGW runtime can miss the last arrival and leave its
// waiters asleep for good.
class StartGate {
public:
    explicit StartGate(int parties) : waiting_(parties) {}

    // Arrives and waits for the others; false when they did not all arrive within the bound.
    bool ArriveAndWait(std::chrono::milliseconds bound = std::chrono::seconds(30))
    {
        std::unique_lock lock(mutex_);
        if (--waiting_ <= 0) {
            open_.notify_all();
            return true;
        }
        return open_.wait_for(lock, bound, [this] { return waiting_ <= 0; });
    }

private:
    std::mutex mutex_;
    std::condition_variable open_;
    int waiting_;
};

} // namespace lantorvix::test
