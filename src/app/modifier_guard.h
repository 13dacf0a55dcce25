#pragma once

#include "keys/keyboard_platform.h"

#include <array>

namespace lantorvix {

// A keyboard that passes every call on to another one and remembers which Shift, Ctrl and
// Alt keys it pressed and has not released yet, so that the scanner input can release them
// after a code: a code with an unclosed group ("+(abc") must not leave the user's keyboard
// with a modifier held down.
//
// Not synchronised: used by the one thread that types, like the keyboard it wraps.
class ModifierGuard : public KeyboardPlatform {
public:
    explicit ModifierGuard(KeyboardPlatform& inner) : inner_(inner) {}

    // Sends a key-up for every modifier pressed through this object and still down.
    void ReleaseModifiers();
    bool AnyModifierDown() const;

    ShiftedKey VkKeyScan(unsigned char ch) override { return inner_.VkKeyScan(ch); }
    std::uint32_t MapVirtualKey(std::uint8_t vk) override { return inner_.MapVirtualKey(vk); }
    void KeyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override;
    bool IsNumLockOn() override { return inner_.IsNumLockOn(); }
    KeyStateTable GetKeyboardState() override { return inner_.GetKeyboardState(); }
    void SetKeyboardState(const KeyStateTable& table) override { inner_.SetKeyboardState(table); }
    void PumpKeyboardMessages() override { inner_.PumpKeyboardMessages(); }
    void ShowMessageBox(std::string_view text, std::string_view caption) override
    {
        inner_.ShowMessageBox(text, caption);
    }

private:
    struct Held {
        bool down = false;
        std::uint8_t scan = 0;
        std::uint32_t flags = 0;
    };
    static int ModifierSlot(std::uint8_t vk);

    KeyboardPlatform& inner_;
    // Indexed by ModifierSlot: Shift, Ctrl, Alt and their left/right forms.
    std::array<Held, 9> held_{};
};

} // namespace lantorvix
