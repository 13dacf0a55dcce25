#pragma once

#include "keys/linux/layout_description.h"
#include "keys/shifted_key.h"

#include <array>
#include <cstdint>
#include <optional>
#include <unordered_map>

namespace lantorvix {

// Windows virtual keys and VkKeyScan answers for an XKB layout. Letter keys get the virtual
// key of the letter they type (on a Hungarian layout the key right of T is VK_Z), digit keys
// that of their digit, function and navigation keys theirs by keysym, and the remaining
// character keys the US virtual key of their position (or a free one). Characters map to
// the key and level that type them with the fewest modifiers: plain, Shift, AltGr
// (Ctrl+Alt bits), Shift+AltGr. Immutable after construction.
class KeyLayout {
public:
    explicit KeyLayout(LayoutDescription description);

    ShiftedKey VkKeyScan(char32_t ch) const;
    // The dead key whose press followed by Space types this character (the bare accent), for
    // a character the layout has no key of its own for; kNoKey when there is none.
    ShiftedKey DeadKeyScan(char32_t ch) const;
    // The physical key for a virtual key; nothing when the layout has none.
    std::optional<std::uint16_t> EvdevForVk(std::uint8_t vk) const;
    // MapVirtualKey(vk, 0): the set-1 scan code of the key (without the E0 prefix); 0 if none.
    std::uint32_t ScanCode(std::uint8_t vk) const;
    // True when the key types something on an AltGr level (Ctrl+Alt then means AltGr).
    bool HasAltGrLevel(std::uint16_t evdev) const;
    std::optional<std::uint16_t> Level3Key() const { return description_.level3Key; }

private:
    void AssignVirtualKeys();
    void MapCharacters();
    bool Assign(std::uint8_t vk, std::uint16_t evdev);

    LayoutDescription description_;
    std::array<std::optional<std::uint16_t>, 256> evdevForVk_{};
    std::unordered_map<std::uint16_t, std::uint8_t> vkForEvdev_;
    std::unordered_map<char32_t, ShiftedKey> keyForChar_;
    std::unordered_map<char32_t, ShiftedKey> deadKeyForChar_;
    std::unordered_map<std::uint16_t, bool> altGrKeys_;
};

// The set-1 scan code of a physical key without the E0 prefix, and the reverse (extended
// picks the E0 key: 0x47 is keypad 7, 0x47 extended is Home).
std::uint32_t Set1ScanForEvdev(std::uint16_t evdev);
std::optional<std::uint16_t> EvdevForSet1Scan(std::uint8_t scan, bool extended);

} // namespace lantorvix
