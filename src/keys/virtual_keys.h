#pragma once

#include <cstdint>

// Windows virtual-key codes, the numbering the key-sequence language and every keyboard
// platform speak.
namespace lantorvix::vk {

inline constexpr std::uint8_t kCancel = 0x03;
inline constexpr std::uint8_t kBack = 0x08;
inline constexpr std::uint8_t kTab = 0x09;
inline constexpr std::uint8_t kClear = 0x0C;
inline constexpr std::uint8_t kReturn = 0x0D;
inline constexpr std::uint8_t kShift = 0x10;
inline constexpr std::uint8_t kControl = 0x11;
inline constexpr std::uint8_t kMenu = 0x12; // Alt
inline constexpr std::uint8_t kPause = 0x13;
inline constexpr std::uint8_t kCapital = 0x14;
inline constexpr std::uint8_t kEscape = 0x1B;
inline constexpr std::uint8_t kSpace = 0x20;
inline constexpr std::uint8_t kPrior = 0x21;
inline constexpr std::uint8_t kNext = 0x22;
inline constexpr std::uint8_t kEnd = 0x23;
inline constexpr std::uint8_t kHome = 0x24;
inline constexpr std::uint8_t kLeft = 0x25;
inline constexpr std::uint8_t kUp = 0x26;
inline constexpr std::uint8_t kRight = 0x27;
inline constexpr std::uint8_t kDown = 0x28;
inline constexpr std::uint8_t kPrint = 0x2A;
inline constexpr std::uint8_t kSnapshot = 0x2C;
inline constexpr std::uint8_t kInsert = 0x2D;
inline constexpr std::uint8_t kDelete = 0x2E;
inline constexpr std::uint8_t kHelp = 0x2F;
inline constexpr std::uint8_t kNumpad0 = 0x60;
inline constexpr std::uint8_t kF1 = 0x70;
inline constexpr std::uint8_t kF24 = 0x87;
inline constexpr std::uint8_t kNumLock = 0x90;
inline constexpr std::uint8_t kScroll = 0x91;
inline constexpr std::uint8_t kLShift = 0xA0;
inline constexpr std::uint8_t kRShift = 0xA1;
inline constexpr std::uint8_t kLControl = 0xA2;
inline constexpr std::uint8_t kRControl = 0xA3;
inline constexpr std::uint8_t kLMenu = 0xA4;
inline constexpr std::uint8_t kRMenu = 0xA5;
inline constexpr std::uint8_t kOem1 = 0xBA;
inline constexpr std::uint8_t kOemPlus = 0xBB;
inline constexpr std::uint8_t kOemComma = 0xBC;
inline constexpr std::uint8_t kOemMinus = 0xBD;
inline constexpr std::uint8_t kOemPeriod = 0xBE;
inline constexpr std::uint8_t kOem2 = 0xBF;
inline constexpr std::uint8_t kOem3 = 0xC0;
inline constexpr std::uint8_t kOem4 = 0xDB;
inline constexpr std::uint8_t kOem5 = 0xDC;
inline constexpr std::uint8_t kOem6 = 0xDD;
inline constexpr std::uint8_t kOem7 = 0xDE;
inline constexpr std::uint8_t kOem8 = 0xDF;
inline constexpr std::uint8_t kOem102 = 0xE2;

} // namespace lantorvix::vk
