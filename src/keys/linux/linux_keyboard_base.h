#pragma once

#include "base/codepage.h"
#include "keys/key_sequence_scope.h"
#include "keys/keyboard_platform.h"
#include "keys/linux/key_layout.h"

#include <array>
#include <functional>
#include <optional>
#include <set>

namespace lantorvix {

// The part of the Linux keyboards that does not depend on how keys reach the system: the
// ANSI byte -> layout lookup, virtual keys -> physical keys, the key-state table, the boxes,
// and Ctrl+Alt meaning AltGr for keys that have AltGr characters (as on Windows; X and the
// kernel need the AltGr key itself for those levels).
// A character the layout has no key for may still be typed through a key lent to it (on X a
// spare key code bound to its keysym, through uinput its dead key and Space): VkKeyScan then
// answers with one of a few otherwise unused virtual keys standing for that lent key.
// The events of one key sequence are handed to the system together (KeySequenceScope),
// and before anything that waits (a box, dispatching); outside a sequence one by one.
// Thread safety: one thread at a time.
class LinuxKeyboardBase : public KeyboardPlatform, private KeyEventSink {
public:
    ~LinuxKeyboardBase() override;

    ShiftedKey VkKeyScan(unsigned char ch) override;
    std::uint32_t MapVirtualKey(std::uint8_t vk) override;
    void KeyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override;
    bool IsNumLockOn() override;
    KeyStateTable GetKeyboardState() override;
    void SetKeyboardState(const KeyStateTable& table) override;
    void PumpKeyboardMessages() override;
    void ShowMessageBox(std::string_view text, std::string_view caption) override;
    void PrepareCharacters(std::string_view characters) override;

    // Pushes every event out as it comes, as older versions did; only for benchmarks that
    // compare the two.
    void SetFlushEachEvent(bool on) { flushEachEvent_ = on; }

protected:
    LinuxKeyboardBase(CodePage codePage, MessageBoxHandler messageBox, std::function<void()> pump);

    // Releases every key this keyboard still holds down (an unclosed group, "No Close"):
    // called by the implementations before they let go of the system, where a key left
    // down would stay down for the whole session.
    void ReleaseHeldKeys();

    // The layout in use; `refresh` asks to take layout changes into account first (done once
    // per key sequence, or per character asked for outside one; never per event).
    virtual const KeyLayout& Layout(bool refresh) = 0;
    // One press or release of a physical key; the sequence of them is delivered in order.
    virtual void EmitKey(std::uint16_t evdev, bool press) = 0;
    // Called after the events of one KeyEvent, to push them out.
    virtual void Flush() {}
    virtual bool NumLockState() = 0;
    virtual void SetNumLockState(bool on) = 0;
    // A key sequence is about to be typed, or goes on after a box: what was prepared for the
    // keys before it may be stale.
    virtual void SequenceBegins() {}
    // After a box in the middle of a sequence: the layout and group are to be read from the
    // system again, not taken from notifications that may still be on their way.
    virtual void ForgetLayout() {}
    // True while PrepareCharacters asks for lent keys (their keys come later).
    bool Preparing() const { return preparing_; }
    // A key lent to a printable character the layout has no key for: an id for EmitLentKey,
    // or nothing (the character cannot be typed).
    virtual std::optional<unsigned> LendKey(char32_t) { return std::nullopt; }
    // The press or release of the key LendKey returned `id` for.
    virtual void EmitLentKey(unsigned /*id*/, bool /*press*/) {}

    // One press or release of a physical key, tracked so that ReleaseHeldKeys can let it go.
    void Emit(std::uint16_t evdev, bool press);
    // True while the physical key is pressed by this keyboard.
    bool IsDown(std::uint16_t evdev) const { return down_.count(evdev) != 0; }

private:
    static constexpr std::uint8_t kLentVkFirst = 0xC3; // 0xC3-0xDA: no key on any keyboard
    static constexpr std::size_t kLentVkCount = 24;

    void FlushKeyEvents() override { Flush(); }
    std::optional<unsigned> Lend(char32_t c);
    // The layout for the next key: read again when asked to, or after a box.
    const KeyLayout& CurrentLayout(bool refresh);
    void AfterKeyEvent();
    bool IsCtrl(std::uint16_t evdev) const;
    bool IsAlt(std::uint16_t evdev) const;
    void BeginAltGr(std::uint16_t level3Key);
    void EndAltGr();

    CodePage codePage_;
    MessageBoxHandler messageBox_;
    std::function<void()> pump_;
    KeyStateTable table_{};
    std::set<std::uint16_t> heldModifiers_; // Ctrl and Alt keys down as the caller sees them
    std::optional<std::uint16_t> altGrFor_; // the key typed with AltGr in place of Ctrl+Alt
    std::uint16_t altGrKey_ = 0;
    std::set<std::uint16_t> down_; // physical keys pressed and not yet released
    // The lent key each of the virtual keys from kLentVkFirst stands for, given out in turn:
    // a virtual key is only reused long after the SendShiftedKey that followed its scan.
    std::array<unsigned, kLentVkCount> lentIdOfVk_{};
    std::size_t nextLentVk_ = 0;
    bool flushEachEvent_ = false;
    bool preparing_ = false;
    bool afterBox_ = false; // a box was shown in the middle of a sequence
};

} // namespace lantorvix
