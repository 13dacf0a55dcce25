#pragma once

#include <cstdint>

namespace lantorvix {

// A key with the shift state it needs, in the layout VkKeyScanA returns: low byte the
// Windows virtual-key code, high byte the shift bits. 0xFFFF means "no such key".
using ShiftedKey = std::uint16_t;

inline constexpr ShiftedKey kNoKey = 0xFFFF;

inline constexpr std::uint8_t kShiftBit = 1;
inline constexpr std::uint8_t kCtrlBit = 2;
inline constexpr std::uint8_t kAltBit = 4;

constexpr ShiftedKey MakeShiftedKey(std::uint8_t vk, std::uint8_t shiftBits)
{
    return static_cast<ShiftedKey>((shiftBits << 8) | vk);
}
constexpr std::uint8_t VirtualKeyOf(ShiftedKey key)
{
    return static_cast<std::uint8_t>(key & 0xFF);
}
constexpr std::uint8_t ShiftBitsOf(ShiftedKey key)
{
    return static_cast<std::uint8_t>(key >> 8);
}

} // namespace lantorvix
