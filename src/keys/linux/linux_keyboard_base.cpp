#include "keys/linux/linux_keyboard_base.h"

#include "keys/virtual_keys.h"

#include <cstdio>
#include <string>
#include <utility>

namespace lantorvix {

namespace {
constexpr std::uint16_t kKeyLeftCtrl = 29;
constexpr std::uint16_t kKeyRightCtrl = 97;
constexpr std::uint16_t kKeyLeftAlt = 56;
constexpr std::uint16_t kKeyRightAlt = 100;
} // namespace

LinuxKeyboardBase::LinuxKeyboardBase(CodePage codePage, MessageBoxHandler messageBox,
                                     std::function<void()> pump)
    : codePage_(codePage), messageBox_(std::move(messageBox)), pump_(std::move(pump))
{}

LinuxKeyboardBase::~LinuxKeyboardBase()
{
    KeySequenceScope::Forget(*this);
}

std::optional<unsigned> LinuxKeyboardBase::Lend(char32_t c)
{
    // Control characters (and the C1 controls that stand for bytes the code page leaves
    // undefined) are not characters to type.
    if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
        return std::nullopt;
    }
    return LendKey(c);
}

void LinuxKeyboardBase::PrepareCharacters(std::string_view characters)
{
    // Every character of the sequence that needs a lent key gets it before the first key
    // event: a client then learns of all new bindings before it meets any of those keys, and
    // no binding changes while the sequence is on its way.
    afterBox_ = false;
    SequenceBegins();
    const KeyLayout& layout = Layout(true);
    preparing_ = true;
    for (const char ch : characters) {
        const char32_t c = AnsiToCodePoint(static_cast<unsigned char>(ch), codePage_);
        if (layout.VkKeyScan(c) == kNoKey) {
            Lend(c);
        }
    }
    preparing_ = false;
}

ShiftedKey LinuxKeyboardBase::VkKeyScan(unsigned char ch)
{
    const char32_t c = AnsiToCodePoint(ch, codePage_);
    // Within a sequence the layout was brought up to date once, at its start, and again after
    // a box (the user may have switched it meanwhile); not per character.
    if (const ShiftedKey key = CurrentLayout(!KeySequenceScope::Active()).VkKeyScan(c); key != kNoKey) {
        return key;
    }
    const auto id = Lend(c);
    if (!id) {
        return kNoKey;
    }
    const std::size_t slot = nextLentVk_;
    nextLentVk_ = (nextLentVk_ + 1) % kLentVkCount;
    lentIdOfVk_[slot] = *id;
    return MakeShiftedKey(static_cast<std::uint8_t>(kLentVkFirst + slot), 0);
}

std::uint32_t LinuxKeyboardBase::MapVirtualKey(std::uint8_t vk)
{
    return CurrentLayout(false).ScanCode(vk);
}

const KeyLayout& LinuxKeyboardBase::CurrentLayout(bool refresh)
{
    if (afterBox_) {
        afterBox_ = false;
        ForgetLayout();
        SequenceBegins();
        refresh = true;
    }
    return Layout(refresh);
}

bool LinuxKeyboardBase::IsCtrl(std::uint16_t evdev) const
{
    return evdev == kKeyLeftCtrl || evdev == kKeyRightCtrl;
}

bool LinuxKeyboardBase::IsAlt(std::uint16_t evdev) const
{
    return evdev == kKeyLeftAlt || (evdev == kKeyRightAlt && altGrKey_ != kKeyRightAlt);
}

void LinuxKeyboardBase::AfterKeyEvent()
{
    if (flushEachEvent_ || !KeySequenceScope::Defer(*this)) {
        Flush();
    }
}

void LinuxKeyboardBase::KeyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags)
{
    if (vk >= kLentVkFirst && vk < kLentVkFirst + kLentVkCount) {
        EmitLentKey(lentIdOfVk_[vk - kLentVkFirst], (flags & kKeyEventKeyUp) == 0);
        AfterKeyEvent();
        return;
    }
    const KeyLayout& layout = CurrentLayout(false);
    std::optional<std::uint16_t> evdev = layout.EvdevForVk(vk);
    if (!evdev && scan != 0) {
        evdev = EvdevForSet1Scan(scan, (flags & kKeyEventExtendedKey) != 0);
    }
    if (!evdev) {
        return; // no such key here: lost, as an undeliverable event is on Windows
    }
    altGrKey_ = layout.Level3Key().value_or(0);
    const bool press = (flags & kKeyEventKeyUp) == 0;
    if (IsCtrl(*evdev) || IsAlt(*evdev)) {
        EndAltGr();
        if (press) {
            heldModifiers_.insert(*evdev);
        } else {
            heldModifiers_.erase(*evdev);
        }
        Emit(*evdev, press);
    } else if (press) {
        bool ctrl = false;
        bool alt = false;
        for (const auto held : heldModifiers_) {
            ctrl = ctrl || IsCtrl(held);
            alt = alt || IsAlt(held);
        }
        if (!altGrFor_ && ctrl && alt && layout.Level3Key() && layout.HasAltGrLevel(*evdev)) {
            BeginAltGr(*layout.Level3Key());
            altGrFor_ = *evdev;
        }
        Emit(*evdev, true);
    } else {
        Emit(*evdev, false);
        if (altGrFor_ == *evdev) {
            EndAltGr();
        }
    }
    AfterKeyEvent();
}

void LinuxKeyboardBase::BeginAltGr(std::uint16_t level3Key)
{
    for (const auto held : heldModifiers_) {
        Emit(held, false);
    }
    Emit(level3Key, true);
}

void LinuxKeyboardBase::EndAltGr()
{
    if (!altGrFor_) {
        return;
    }
    altGrFor_.reset();
    Emit(altGrKey_, false);
    for (const auto held : heldModifiers_) {
        Emit(held, true);
    }
}

void LinuxKeyboardBase::Emit(std::uint16_t evdev, bool press)
{
    if (press) {
        down_.insert(evdev);
    } else {
        down_.erase(evdev);
    }
    EmitKey(evdev, press);
}

void LinuxKeyboardBase::ReleaseHeldKeys()
{
    const auto held = down_;
    for (const auto evdev : held) {
        Emit(evdev, false);
    }
    heldModifiers_.clear();
    altGrFor_.reset();
    if (!held.empty()) {
        Flush();
    }
}

bool LinuxKeyboardBase::IsNumLockOn()
{
    return NumLockState();
}

KeyStateTable LinuxKeyboardBase::GetKeyboardState()
{
    KeyStateTable table = table_;
    table[vk::kNumLock] = static_cast<std::uint8_t>((table[vk::kNumLock] & ~1u) | (NumLockState() ? 1u : 0u));
    return table;
}

void LinuxKeyboardBase::SetKeyboardState(const KeyStateTable& table)
{
    table_ = table;
    const bool wanted = (table[vk::kNumLock] & 1) != 0;
    if (wanted != NumLockState()) {
        SetNumLockState(wanted);
    }
}

void LinuxKeyboardBase::PumpKeyboardMessages()
{
    Flush(); // what is dispatched may wait for these keys
    if (pump_) {
        pump_();
    }
}

void LinuxKeyboardBase::ShowMessageBox(std::string_view text, std::string_view caption)
{
    Flush(); // the keys before the error arrive while the box waits
    if (messageBox_) {
        messageBox_(text, caption);
    } else {
        const std::string line = AnsiToUtf8(caption, codePage_) + ": " + AnsiToUtf8(text, codePage_) + "\n";
        std::fputs(line.c_str(), stderr);
    }
    afterBox_ = KeySequenceScope::Active();
}

} // namespace lantorvix
