#include "serial/com_events.h"

#include "serial/comm_device.h"

namespace lantorvix {

namespace {

// Indexed by the ordinal of TComEvent.
constexpr std::array<std::uint32_t, 10> kMaskBits = {
    ev::RXCHAR, ev::TXEMPTY, ev::RXFLAG, ev::RING, ev::BREAK,
    ev::CTS,    ev::DSR,     ev::ERR,    ev::RLSD, ev::RX80FULL,
};

} // namespace

std::uint32_t EventMaskBit(TComEvent event)
{
    return kMaskBits[static_cast<std::size_t>(event)];
}

std::uint32_t ComEventsToMask(TComEvents events)
{
    std::uint32_t mask = 0;
    for (std::size_t i = 0; i < kMaskBits.size(); ++i) {
        if (events.Contains(static_cast<TComEvent>(i))) {
            mask |= kMaskBits[i];
        }
    }
    return mask;
}

TComEvents MaskToComEvents(std::uint32_t mask)
{
    TComEvents events;
    for (std::size_t i = 0; i < kMaskBits.size(); ++i) {
        if ((mask & kMaskBits[i]) != 0) {
            events.Include(static_cast<TComEvent>(i));
        }
    }
    return events;
}

} // namespace lantorvix
