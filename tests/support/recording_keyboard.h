#pragma once

#include "keys/keyboard_platform.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace lantorvix::test {

// A KeyboardPlatform that records every call instead of touching a keyboard. Its layout is
// the US one (VkKeyScan of ASCII) unless a test replaces `layout`; its scan codes are the
// US set-1 codes unless a test replaces `scanCodes`. Not thread-safe: one test thread.
class RecordingKeyboard : public KeyboardPlatform {
public:
    struct Event {
        std::uint8_t vk;
        std::uint8_t scan;
        std::uint32_t flags;
        bool operator==(const Event&) const = default;
    };
    struct Box {
        std::string text;
        std::string caption;
        bool operator==(const Box&) const = default;
    };

    RecordingKeyboard();

    // Character -> ShiftedKey; characters not in the map have no key.
    std::map<unsigned char, ShiftedKey> layout;
    // vk -> MapVirtualKey result (0 for keys not in the map).
    std::map<std::uint8_t, std::uint32_t> scanCodes;

    std::vector<Event> events;
    std::vector<Box> boxes;
    // Every call in order: "key <vk> <flags>", "pump", "map <vk>", "box <text>", "numlock",
    // "getstate", "setstate", "prepare <characters>".
    std::vector<std::string> calls;
    // The characters VkKeyScan was asked for, in order.
    std::string scanned;
    bool numLockOn = false;
    KeyStateTable keyState{};
    // Runs inside ShowMessageBox / PumpKeyboardMessages (to check nesting, to throw ...).
    std::function<void()> onBox;
    std::function<void()> onPump;

    // The events as (vk, flags) pairs, the form the injection tables are written in.
    std::vector<std::pair<int, int>> VkFlags() const;
    // What the events type on a US keyboard: characters, "\n" for Enter, "\t" for Tab,
    // "<vk>" for other keys; modifiers only change the case. Ctrl/Alt chords show as
    // "<^vk>" / "<%vk>".
    std::string TypedText() const;
    // Virtual keys that are down after all events (modifiers left pressed, ...).
    std::vector<int> KeysDown() const;

    ShiftedKey VkKeyScan(unsigned char ch) override;
    std::uint32_t MapVirtualKey(std::uint8_t vk) override;
    void KeyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override;
    bool IsNumLockOn() override;
    KeyStateTable GetKeyboardState() override;
    void SetKeyboardState(const KeyStateTable& table) override;
    void PumpKeyboardMessages() override;
    void ShowMessageBox(std::string_view text, std::string_view caption) override;
    void PrepareCharacters(std::string_view characters) override;
};

// The US layout as VkKeyScanA gives it for the printable ASCII characters, Tab, CR, LF and BS.
std::map<unsigned char, ShiftedKey> UsLayout();

} // namespace lantorvix::test
