#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace lantorvix {

// What one physical key does in the active layout group, read from an XKB keymap (the X
// server's or one compiled from the configured names).
struct PhysicalKey {
    std::uint16_t evdev = 0;                // Linux input event code; X key code - 8
    std::array<std::uint32_t, 4> keysyms{}; // plain, Shift, AltGr, Shift+AltGr; 0 = none
    std::array<char32_t, 4> chars{};        // the characters these levels type; 0 = none
};

struct LayoutDescription {
    std::vector<PhysicalKey> keys;
    std::optional<std::uint16_t> level3Key; // the key that selects the AltGr levels, if any
};

// The keysyms the layout code needs by value (X protocol constants).
namespace keysym {
inline constexpr std::uint32_t kBackSpace = 0xff08;
inline constexpr std::uint32_t kTab = 0xff09;
inline constexpr std::uint32_t kClear = 0xff0b;
inline constexpr std::uint32_t kReturn = 0xff0d;
inline constexpr std::uint32_t kPause = 0xff13;
inline constexpr std::uint32_t kScrollLock = 0xff14;
inline constexpr std::uint32_t kEscape = 0xff1b;
inline constexpr std::uint32_t kHome = 0xff50;
inline constexpr std::uint32_t kLeft = 0xff51;
inline constexpr std::uint32_t kUp = 0xff52;
inline constexpr std::uint32_t kRight = 0xff53;
inline constexpr std::uint32_t kDown = 0xff54;
inline constexpr std::uint32_t kPrior = 0xff55;
inline constexpr std::uint32_t kNext = 0xff56;
inline constexpr std::uint32_t kEnd = 0xff57;
inline constexpr std::uint32_t kPrint = 0xff61;
inline constexpr std::uint32_t kInsert = 0xff63;
inline constexpr std::uint32_t kHelp = 0xff6a;
inline constexpr std::uint32_t kNumLock = 0xff7f;
inline constexpr std::uint32_t kKpFirst = 0xff80; // KP_Space
inline constexpr std::uint32_t kKpBegin = 0xff9d;
inline constexpr std::uint32_t kKpLast = 0xffbd; // KP_Equal
inline constexpr std::uint32_t kF1 = 0xffbe;
inline constexpr std::uint32_t kF24 = 0xffd5;
inline constexpr std::uint32_t kShiftL = 0xffe1;
inline constexpr std::uint32_t kShiftR = 0xffe2;
inline constexpr std::uint32_t kControlL = 0xffe3;
inline constexpr std::uint32_t kControlR = 0xffe4;
inline constexpr std::uint32_t kCapsLock = 0xffe5;
inline constexpr std::uint32_t kAltL = 0xffe9;
inline constexpr std::uint32_t kAltR = 0xffea;
inline constexpr std::uint32_t kDelete = 0xffff;
inline constexpr std::uint32_t kIsoLevel3Shift = 0xfe03;
inline constexpr std::uint32_t kDeadFirst = 0xfe50; // dead_grave
inline constexpr std::uint32_t kDeadLast = 0xfe93;
} // namespace keysym

} // namespace lantorvix
