#include "serial/posix/unique_fd.h"

#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <system_error>

namespace lantorvix::posix {

WakeFd::WakeFd() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
    if (!fd_.Valid()) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
}

void WakeFd::Signal() const
{
    const std::uint64_t one = 1;
    // Only fails when the counter is about to overflow, which leaves it readable anyway.
    [[maybe_unused]] const ssize_t written = ::write(fd_.Get(), &one, sizeof one);
}

void WakeFd::Drain() const
{
    std::uint64_t value = 0;
    [[maybe_unused]] const ssize_t got = ::read(fd_.Get(), &value, sizeof value);
}

} // namespace lantorvix::posix
