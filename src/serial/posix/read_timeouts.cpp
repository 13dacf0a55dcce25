#include "serial/posix/read_timeouts.h"

namespace lantorvix::posix {

namespace {
constexpr std::uint32_t kAllOnes = 0xFFFFFFFFu;
}

ReadPlan PlanRead(const CommTimeouts& timeouts, std::uint32_t count)
{
    ReadPlan plan;
    const std::uint32_t interval = timeouts.ReadIntervalTimeout;
    const std::uint32_t multiplier = timeouts.ReadTotalTimeoutMultiplier;
    const std::uint32_t constant = timeouts.ReadTotalTimeoutConstant;
    if (interval == kAllOnes && multiplier == 0 && constant == 0) {
        plan.immediate = true;
        return plan;
    }
    if (interval == kAllOnes && multiplier == kAllOnes && constant != 0 && constant != kAllOnes) {
        plan.returnOnFirstByte = true;
        plan.total = std::chrono::milliseconds(constant);
        return plan;
    }
    if (multiplier != 0 || constant != 0) {
        const std::uint64_t total = std::uint64_t{multiplier} * count + constant;
        plan.total = std::chrono::milliseconds(static_cast<std::int64_t>(total));
    }
    if (interval != 0 && interval != kAllOnes) {
        plan.interval = std::chrono::milliseconds(interval);
    }
    return plan;
}

} // namespace lantorvix::posix
