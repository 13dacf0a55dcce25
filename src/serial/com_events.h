#pragma once

#include <array>
#include <cstdint>

#include "serial/com_types.h"

namespace lantorvix {

// WM_USER + 1: carries one event mask value (wParam) to the port's hidden sync target.
inline constexpr std::uint32_t WM_COMPORT_EVENT = 0x0400 + 1;

// The device event mask bit of each line event.
std::uint32_t EventMaskBit(TComEvent event);
// OR of the mask bits of the members; the empty set gives 0.
std::uint32_t ComEventsToMask(TComEvents events);
// The events whose mask bits are present; every other bit is ignored.
TComEvents MaskToComEvents(std::uint32_t mask);

// The fixed order in which one batch of events is handed over.
inline constexpr std::array<TComEvent, 10> HandOverOrder = {
    TComEvent::evError, TComEvent::evRxChar, TComEvent::evTxEmpty, TComEvent::evBreak, TComEvent::evRing,
    TComEvent::evCTS,   TComEvent::evDSR,    TComEvent::evRxFlag,  TComEvent::evRLSD,  TComEvent::evRx80Full,
};

} // namespace lantorvix
