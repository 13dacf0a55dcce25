#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "serial/comm_device.h"

namespace lantorvix::posix {

// How long one read may wait, by the rules of the Windows driver:
// - interval all ones, both totals 0: return at once with what is queued, possibly nothing;
// - interval and multiplier all ones, 0 < constant < all ones: return at once when anything
//   is queued, otherwise as soon as a byte arrives or the constant has passed;
// - otherwise a total limit of multiplier * count + constant (none when both are 0) and an
//   interval limit between two bytes once the first has arrived (none when 0 or all ones).
// A read always ends when count bytes are there.
struct ReadPlan {
    bool immediate = false;
    bool returnOnFirstByte = false;
    std::optional<std::chrono::milliseconds> total;
    std::optional<std::chrono::milliseconds> interval;
};

ReadPlan PlanRead(const CommTimeouts& timeouts, std::uint32_t count);

} // namespace lantorvix::posix
