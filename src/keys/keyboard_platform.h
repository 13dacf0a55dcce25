#pragma once

#include "keys/shifted_key.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

// windows.h maps these two names onto its A/W functions; here they are member names.
#undef VkKeyScan
#undef MapVirtualKey

namespace lantorvix {

// Key-event flags, as keybd_event takes them.
inline constexpr std::uint32_t kKeyEventExtendedKey = 1;
inline constexpr std::uint32_t kKeyEventKeyUp = 2;

// A thread's view of all 256 virtual keys (bit 0 of an entry: the key is toggled on).
using KeyStateTable = std::array<std::uint8_t, 256>;

// Shows a modal message box and returns when the user closed it. The texts are 8-bit, in
// the program's ANSI code page.
using MessageBoxHandler = std::function<void(std::string_view text, std::string_view caption)>;

// The operations the key-sequence language and the injection logic need from the system
// keyboard, one for each user32 call they are written against. Implementations: Win32
// (user32), X11 (XTest), uinput, and a recording fake for tests.
//
// Thread safety: an instance is used by one thread at a time (the thread that types).
class KeyboardPlatform {
public:
    virtual ~KeyboardPlatform() = default;

    // VkKeyScanA: the key and shift state that type this character (a byte of the ANSI
    // code page) in the current layout, or kNoKey when the layout has none.
    virtual ShiftedKey VkKeyScan(unsigned char ch) = 0;
    // MapVirtualKeyA(vk, 0): the key's scan code in the current layout, 0 when it has none.
    virtual std::uint32_t MapVirtualKey(std::uint8_t vk) = 0;
    // keybd_event: appends one key event to the system input stream, in call order.
    virtual void KeyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) = 0;
    // Bit 0 of GetKeyState(VK_NUMLOCK): NumLock is toggled on.
    virtual bool IsNumLockOn() = 0;
    // GetKeyboardState / SetKeyboardState of the calling thread.
    virtual KeyStateTable GetKeyboardState() = 0;
    virtual void SetKeyboardState(const KeyStateTable& table) = 0;
    // Takes the calling thread's pending keyboard messages (0x100-0x109) out of its queue,
    // translating and dispatching each, until none is left.
    virtual void PumpKeyboardMessages() = 0;
    // A modal box with the text, the caption, an OK button and no icon.
    virtual void ShowMessageBox(std::string_view text, std::string_view caption) = 0;
    // Not a user32 call: the characters a key sequence is about to ask VkKeyScan for (each
    // once), before its first key event; sequences typed from a box announce their own. A
    // keyboard that has to lend keys to characters its layout lacks does so here, so that
    // no binding changes while the sequence is on its way. Nothing to do elsewhere.
    virtual void PrepareCharacters(std::string_view /*characters*/) {}

protected:
    KeyboardPlatform() = default;
    KeyboardPlatform(const KeyboardPlatform&) = default;
    KeyboardPlatform& operator=(const KeyboardPlatform&) = default;
};

} // namespace lantorvix
