#include "keys/uinput/uinput_keyboard.h"

#include <utility>

namespace lantorvix {

namespace {
constexpr std::uint16_t kKeyNumLock = 69;
constexpr std::uint16_t kKeyLeftShift = 42;
constexpr std::uint16_t kKeySpace = 57;
} // namespace

UinputKeyboard::UinputKeyboard(UinputDevice device, KeyLayout layout, CodePage codePage,
                               MessageBoxHandler messageBox, std::function<void()> pump)
    : LinuxKeyboardBase(codePage, std::move(messageBox), std::move(pump)), device_(std::move(device)),
      layout_(std::move(layout))
{}

void UinputKeyboard::SetNumLockState(bool on)
{
    // The lock toggles on a press of the key.
    device_.Key(kKeyNumLock, true);
    device_.Key(kKeyNumLock, false);
    device_.Send();
    numLock_ = on;
}

std::optional<unsigned> UinputKeyboard::LendKey(char32_t ch)
{
    const ShiftedKey key = layout_.DeadKeyScan(ch);
    if (key == kNoKey || !layout_.EvdevForVk(VirtualKeyOf(key))) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < deadKeys_.size(); ++i) {
        if (deadKeys_[i] == key) {
            return static_cast<unsigned>(i);
        }
    }
    deadKeys_.push_back(key);
    return static_cast<unsigned>(deadKeys_.size() - 1);
}

void UinputKeyboard::EmitLentKey(unsigned id, bool press)
{
    // The dead key with its own level is one whole keystroke; Space carries the press and
    // release the caller asked for, so a repeat count repeats the accent.
    if (!press) {
        Emit(kKeySpace, false);
        return;
    }
    const ShiftedKey key = deadKeys_.at(id);
    const std::uint16_t evdev = *layout_.EvdevForVk(VirtualKeyOf(key));
    const bool shift = (ShiftBitsOf(key) & kShiftBit) != 0;
    const auto altGr = (ShiftBitsOf(key) & kCtrlBit) != 0 ? layout_.Level3Key() : std::nullopt;
    if (shift) {
        Emit(kKeyLeftShift, true);
    }
    if (altGr) {
        Emit(*altGr, true);
    }
    Emit(evdev, true);
    Emit(evdev, false);
    if (altGr) {
        Emit(*altGr, false);
    }
    if (shift) {
        Emit(kKeyLeftShift, false);
    }
    Emit(kKeySpace, true);
}

} // namespace lantorvix
