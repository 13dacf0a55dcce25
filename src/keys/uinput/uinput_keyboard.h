#pragma once

#include "keys/linux/linux_keyboard_base.h"
#include "keys/linux/xkb_names_layout.h"
#include "keys/uinput/uinput_device.h"

#include <functional>
#include <vector>

namespace lantorvix {

// Keys typed through a uinput virtual keyboard, chosen for a configured XKB layout (the
// kernel sees key codes; the compositor or console applies its own layout, which must be
// this one). NumLock is tracked here: a uinput device cannot ask for the lock state.
// There is no keymap of our own to change: a character the layout only has as a dead key
// is typed as that dead key and Space (the bare accent); other missing characters cannot be
// typed.
// Thread safety: one thread at a time.
class UinputKeyboard : public LinuxKeyboardBase {
public:
    UinputKeyboard(UinputDevice device, KeyLayout layout, CodePage codePage, MessageBoxHandler messageBox,
                   std::function<void()> pump);
    ~UinputKeyboard() override { ReleaseHeldKeys(); }

    // Asked once per key sequence for the layout to type for (the desktop's may change while
    // the program runs); keys are chosen anew when it names another layout or group.
    void FollowLayout(std::function<UinputLayoutChoice()> resolve, UinputLayoutChoice current);
    UinputKeyboard(const UinputKeyboard&) = delete;
    UinputKeyboard& operator=(const UinputKeyboard&) = delete;

protected:
    const KeyLayout& Layout(bool refresh) override;
    void EmitKey(std::uint16_t evdev, bool press) override { device_.Key(evdev, press); }
    void Flush() override { device_.Send(); }
    bool NumLockState() override { return numLock_; }
    void SetNumLockState(bool on) override;
    std::optional<unsigned> LendKey(char32_t ch) override;
    void EmitLentKey(unsigned id, bool press) override;

private:
    UinputDevice device_;
    KeyLayout layout_;
    std::function<UinputLayoutChoice()> resolve_;
    UinputLayoutChoice current_;
    bool numLock_ = false;
    std::vector<ShiftedKey> deadKeys_; // the dead keys LendKey gave out, by id
};

} // namespace lantorvix
