#pragma once

#include "keys/linux/linux_keyboard_base.h"
#include "keys/uinput/uinput_device.h"

namespace lantorvix {

// Keys typed through a uinput virtual keyboard, chosen for a configured XKB layout (the
// kernel sees key codes; the compositor or console applies its own layout, which must be
// this one). NumLock is tracked here: a uinput device cannot ask for the lock state.
// Thread safety: one thread at a time.
class UinputKeyboard : public LinuxKeyboardBase {
public:
    UinputKeyboard(UinputDevice device, KeyLayout layout, CodePage codePage, MessageBoxHandler messageBox,
                   std::function<void()> pump);
    ~UinputKeyboard() override { ReleaseHeldKeys(); }
    UinputKeyboard(const UinputKeyboard&) = delete;
    UinputKeyboard& operator=(const UinputKeyboard&) = delete;

protected:
    const KeyLayout& Layout(bool) override { return layout_; }
    void EmitKey(std::uint16_t evdev, bool press) override { device_.Key(evdev, press); }
    bool NumLockState() override { return numLock_; }
    void SetNumLockState(bool on) override;

private:
    UinputDevice device_;
    KeyLayout layout_;
    bool numLock_ = false;
};

} // namespace lantorvix
