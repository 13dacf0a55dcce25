#pragma once

#include "base/exception.h"
#include "keys/keyboard_platform.h"

#include <string>

namespace lantorvix {

// Stands in for a keyboard that could not be set up (no X display and no access to
// /dev/uinput): the program still runs and reads the scanner, and every code it would type
// fails with the reason, which the scanner input shows in the general error box.
class UnavailableKeyboard : public KeyboardPlatform {
public:
    explicit UnavailableKeyboard(std::string reason) : reason_(std::move(reason)) {}

    ShiftedKey VkKeyScan(unsigned char) override { throw Exception(reason_); }
    std::uint32_t MapVirtualKey(std::uint8_t) override { throw Exception(reason_); }
    void KeyEvent(std::uint8_t, std::uint8_t, std::uint32_t) override { throw Exception(reason_); }
    bool IsNumLockOn() override { return false; }
    KeyStateTable GetKeyboardState() override { return {}; }
    void SetKeyboardState(const KeyStateTable&) override {}
    void PumpKeyboardMessages() override {}
    void ShowMessageBox(std::string_view, std::string_view) override {}

private:
    std::string reason_;
};

} // namespace lantorvix
