#pragma once

#include "keys/keyboard_platform.h"
#include "keys/shifted_key.h"

#include <cstdint>

namespace lantorvix {

// Key output: requests to press a virtual key, a key with its shift state, or to release a
// modifier, turned into single key events with scan code and flags. No state of their own;
// they run on the calling thread. With pumpKeyboardMessages every event is followed by
// dispatching the calling thread's keyboard messages.

// True for the ten keys always sent as extended keys (PgUp, PgDn, End, Home, the arrows,
// Insert, Delete).
bool IsExtendedKey(std::uint8_t vk);

// One key event, then the keyboard-message pump when asked for.
void InjectKeyEvent(KeyboardPlatform& keyboard, std::uint8_t vk, std::uint8_t scan, std::uint32_t flags,
                    bool pumpKeyboardMessages);

// vk pressed count times, each press followed by its release when withRelease. NumLock sends
// no event: it toggles the NumLock bit of the key-state table once, whatever the count.
void SendVirtualKey(KeyboardPlatform& keyboard, std::uint8_t vk, std::uint16_t count, bool withRelease,
                    bool pumpKeyboardMessages);

// The modifiers the key's shift bits ask for go down (Shift, Ctrl, Alt), the key is sent as
// by SendVirtualKey, and the modifiers are released in the same order.
void SendShiftedKey(KeyboardPlatform& keyboard, ShiftedKey key, std::uint16_t count, bool withRelease,
                    bool pumpKeyboardMessages);

// One release of Shift (16), Ctrl (17) or Alt (18).
void ReleaseModifierKey(KeyboardPlatform& keyboard, std::uint8_t vk, bool pumpKeyboardMessages);

} // namespace lantorvix
