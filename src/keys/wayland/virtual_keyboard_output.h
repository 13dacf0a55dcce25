#pragma once

#include <cstdint>
#include <string>

namespace lantorvix {

// Where a virtual keyboard's requests go, in order: a compositor (WaylandVirtualKeyboard)
// or a recording in tests.
class VirtualKeyboardOutput {
public:
    virtual ~VirtualKeyboardOutput() = default;

    // The keymap (XKB text) the following keys are read against.
    virtual void Keymap(const std::string& text) = 0;
    virtual void Key(std::uint16_t evdev, bool press) = 0;
    // The modifier state as XKB serialises it; the compositor does not derive it from keys.
    virtual void Modifiers(std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked,
                           std::uint32_t group) = 0;
    // Hands everything so far to the compositor.
    virtual void Flush() = 0;

protected:
    VirtualKeyboardOutput() = default;
    VirtualKeyboardOutput(const VirtualKeyboardOutput&) = default;
    VirtualKeyboardOutput& operator=(const VirtualKeyboardOutput&) = default;
};

} // namespace lantorvix
