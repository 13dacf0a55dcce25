#include "keys/key_injection.h"

#include "keys/virtual_keys.h"

namespace lantorvix {

namespace {
std::uint8_t ScanCodeOf(KeyboardPlatform& keyboard, std::uint8_t vk)
{
    return static_cast<std::uint8_t>(keyboard.MapVirtualKey(vk) & 0xFF);
}

void ToggleNumLock(KeyboardPlatform& keyboard)
{
    const bool on = keyboard.IsNumLockOn();
    KeyStateTable table = keyboard.GetKeyboardState();
    if (on) {
        table[vk::kNumLock] = static_cast<std::uint8_t>(table[vk::kNumLock] & ~1u);
    } else {
        table[vk::kNumLock] = static_cast<std::uint8_t>(table[vk::kNumLock] | 1u);
    }
    keyboard.SetKeyboardState(table);
}

constexpr std::uint8_t kModifierOrder[][2] = {
    {kShiftBit, vk::kShift}, {kCtrlBit, vk::kControl}, {kAltBit, vk::kMenu}};
} // namespace

bool IsExtendedKey(std::uint8_t vk)
{
    return (vk >= vk::kPrior && vk <= vk::kDown) || vk == vk::kInsert || vk == vk::kDelete;
}

void InjectKeyEvent(KeyboardPlatform& keyboard, std::uint8_t vk, std::uint8_t scan, std::uint32_t flags,
                    bool pumpKeyboardMessages)
{
    keyboard.KeyEvent(vk, scan, flags);
    if (pumpKeyboardMessages) {
        keyboard.PumpKeyboardMessages();
    }
}

void SendVirtualKey(KeyboardPlatform& keyboard, std::uint8_t vk, std::uint16_t count, bool withRelease,
                    bool pumpKeyboardMessages)
{
    if (vk == vk::kNumLock) {
        ToggleNumLock(keyboard);
        return;
    }
    const std::uint8_t scan = ScanCodeOf(keyboard, vk);
    const bool extended = IsExtendedKey(vk);
    const std::uint32_t press = extended ? kKeyEventExtendedKey : 0;
    const std::uint32_t release = press | kKeyEventKeyUp;
    for (std::uint32_t i = 0; i < count; ++i) {
        InjectKeyEvent(keyboard, vk, scan, press, pumpKeyboardMessages);
        if (withRelease) {
            InjectKeyEvent(keyboard, vk, scan, release, pumpKeyboardMessages);
        }
    }
}

void SendShiftedKey(KeyboardPlatform& keyboard, ShiftedKey key, std::uint16_t count, bool withRelease,
                    bool pumpKeyboardMessages)
{
    const std::uint8_t shiftBits = ShiftBitsOf(key);
    for (const auto& [bit, modifier] : kModifierOrder) {
        if (shiftBits & bit) {
            SendVirtualKey(keyboard, modifier, 1, false, pumpKeyboardMessages);
        }
    }
    SendVirtualKey(keyboard, VirtualKeyOf(key), count, withRelease, pumpKeyboardMessages);
    for (const auto& [bit, modifier] : kModifierOrder) {
        if (shiftBits & bit) {
            ReleaseModifierKey(keyboard, modifier, pumpKeyboardMessages);
        }
    }
}

void ReleaseModifierKey(KeyboardPlatform& keyboard, std::uint8_t vk, bool pumpKeyboardMessages)
{
    InjectKeyEvent(keyboard, vk, ScanCodeOf(keyboard, vk), kKeyEventKeyUp, pumpKeyboardMessages);
}

} // namespace lantorvix
