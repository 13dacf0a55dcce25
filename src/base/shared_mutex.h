#pragma once

#include <memory>

namespace lantorvix {

// A reader/writer lock, usable with std::unique_lock and std::shared_lock: many holders of
// the shared lock or one holder of the exclusive lock. Not recursive; not upgradable.
// Windows uses the system's slim reader/writer lock rather than std::shared_mutex: the
// MinGW runtime creates the latter lazily at first use, and threads that take a fresh one
// at the same moment can each end up holding it exclusively.
// Thread-safety: every member may be called from any thread; the object must outlive its
// holders and must not be held when it is destroyed.
class SharedMutex {
public:
    SharedMutex();
    ~SharedMutex();
    SharedMutex(const SharedMutex&) = delete;
    SharedMutex& operator=(const SharedMutex&) = delete;

    void lock();
    bool try_lock();
    void unlock();

    void lock_shared();
    bool try_lock_shared();
    void unlock_shared();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace lantorvix
