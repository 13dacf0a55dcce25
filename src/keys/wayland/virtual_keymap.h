#pragma once

#include "keys/linux/layout_description.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

struct xkb_keymap;

namespace lantorvix {

// The keymap a virtual keyboard hands the compositor: the keys that are not characters
// (modifiers, locks, function, navigation and keypad keys) at their usual codes, and one key
// for each character asked for, typing it with no modifier (a letter types its capital with
// Shift). A character keeps its key while the keymap has room; when every spare code is
// taken, a character already typed, else the one asked for longest ago, gives its key up.
// Thread safety: none; one owner.
class VirtualKeymap {
public:
    VirtualKeymap();

    // Gives the character a key; true when the keymap changed. Characters asked for at or
    // after `keep` (a Clock() reading) keep theirs: false when only they hold keys.
    bool Add(char32_t ch, std::uint64_t keep = ~std::uint64_t{0});
    // The character has been typed: its key is the first to go when room is needed.
    void Typed(char32_t ch);
    std::uint64_t Clock() const { return clock_; }
    // The physical key (evdev code) that types the character; nothing when it has none.
    std::optional<std::uint16_t> KeyOf(char32_t ch) const;
    // How many characters can have keys at once.
    std::size_t Capacity() const;
    // The keymap in XKB text form, as compiled by libxkbcommon (self-contained). Throws
    // Exception when it does not compile.
    std::string Text() const;

    // The keys that are not characters, described for KeyLayout: virtual keys and key names
    // map to them; they type no characters.
    static LayoutDescription BaseKeys();

private:
    std::map<char32_t, std::uint16_t> keyOf_;
    std::map<char32_t, std::uint64_t> askedAt_;
    std::uint64_t clock_ = 0;
};

} // namespace lantorvix
