#include "base/shared_mutex.h"

#include <windows.h>

namespace lantorvix {

// Fully initialised by SRWLOCK_INIT: nothing is created at first use.
struct SharedMutex::Impl {
    SRWLOCK lock = SRWLOCK_INIT;
};

SharedMutex::SharedMutex() : impl_(std::make_unique<Impl>()) {}
SharedMutex::~SharedMutex() = default;

void SharedMutex::lock()
{
    AcquireSRWLockExclusive(&impl_->lock);
}
bool SharedMutex::try_lock()
{
    return TryAcquireSRWLockExclusive(&impl_->lock) != 0;
}
void SharedMutex::unlock()
{
    ReleaseSRWLockExclusive(&impl_->lock);
}

void SharedMutex::lock_shared()
{
    AcquireSRWLockShared(&impl_->lock);
}
bool SharedMutex::try_lock_shared()
{
    return TryAcquireSRWLockShared(&impl_->lock) != 0;
}
void SharedMutex::unlock_shared()
{
    ReleaseSRWLockShared(&impl_->lock);
}

} // namespace lantorvix
