#include "keys/uinput/uinput_keyboard.h"

#include "base/exception.h"

#include <utility>
#include <vector>

namespace lantorvix {

namespace {
constexpr std::uint16_t kKeyNumLock = 69;
constexpr std::uint16_t kKeyLeftShift = 42;
constexpr std::uint16_t kKeyRightShift = 54;
constexpr std::uint16_t kKeySpace = 57;
} // namespace

UinputKeyboard::UinputKeyboard(UinputDevice device, KeyLayout layout, CodePage codePage,
                               MessageBoxHandler messageBox, std::function<void()> pump)
    : LinuxKeyboardBase(codePage, std::move(messageBox), std::move(pump)), device_(std::move(device)),
      layout_(std::move(layout))
{}

void UinputKeyboard::FollowLayout(std::function<UinputLayoutChoice()> resolve, UinputLayoutChoice current)
{
    resolve_ = std::move(resolve);
    current_ = std::move(current);
}

const KeyLayout& UinputKeyboard::Layout(bool refresh)
{
    if (!refresh || !resolve_) {
        return layout_;
    }
    UinputLayoutChoice choice = resolve_();
    if (LayoutText(choice.names) == LayoutText(current_.names) && choice.group == current_.group) {
        return layout_;
    }
    try {
        layout_ = KeyLayout(DescribeXkbLayout(choice.names, choice.group));
        deadKeys_.clear();
        current_ = std::move(choice);
    } catch (const Exception&) {
        // A layout that does not compile leaves the keys as they were.
    }
    return layout_;
}

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
    // release the caller asked for, so a repeat count repeats the accent. A Shift the
    // sequence holds is let go for a dead key without Shift and pressed again after it, so
    // it is down afterwards exactly as before.
    if (!press) {
        Emit(kKeySpace, false);
        return;
    }
    const ShiftedKey key = deadKeys_.at(id);
    const std::uint16_t evdev = *layout_.EvdevForVk(VirtualKeyOf(key));
    const bool shift = (ShiftBitsOf(key) & kShiftBit) != 0;
    const auto altGr = (ShiftBitsOf(key) & kCtrlBit) != 0 ? layout_.Level3Key() : std::nullopt;
    std::vector<std::uint16_t> held;
    for (const std::uint16_t s : {kKeyLeftShift, kKeyRightShift}) {
        if (IsDown(s)) {
            held.push_back(s);
        }
    }
    const bool pressShift = shift && held.empty();
    if (!shift) {
        for (const auto s : held) {
            Emit(s, false);
        }
    }
    if (pressShift) {
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
    if (pressShift) {
        Emit(kKeyLeftShift, false);
    }
    if (!shift) {
        for (const auto s : held) {
            Emit(s, true);
        }
    }
    Emit(kKeySpace, true);
}

} // namespace lantorvix
