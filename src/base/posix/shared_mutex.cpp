#include "base/shared_mutex.h"

#include <shared_mutex>

namespace lantorvix {

struct SharedMutex::Impl {
    std::shared_mutex mutex;
};

SharedMutex::SharedMutex() : impl_(std::make_unique<Impl>()) {}
SharedMutex::~SharedMutex() = default;

void SharedMutex::lock()
{
    impl_->mutex.lock();
}
bool SharedMutex::try_lock()
{
    return impl_->mutex.try_lock();
}
void SharedMutex::unlock()
{
    impl_->mutex.unlock();
}

void SharedMutex::lock_shared()
{
    impl_->mutex.lock_shared();
}
bool SharedMutex::try_lock_shared()
{
    return impl_->mutex.try_lock_shared();
}
void SharedMutex::unlock_shared()
{
    impl_->mutex.unlock_shared();
}

} // namespace lantorvix
