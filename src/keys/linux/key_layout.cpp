#include "keys/linux/key_layout.h"

#include "keys/virtual_keys.h"

#include <algorithm>
#include <utility>

namespace lantorvix {

namespace {
// Input event codes used by name below (linux/input-event-codes.h).
constexpr std::uint16_t kKeyNumberRowFirst = 2; // KEY_1
constexpr std::uint16_t kKeyNumberRowLast = 11; // KEY_0

// The US virtual key of each character key's position.
constexpr std::pair<std::uint16_t, std::uint8_t> kUsPositions[] = {{2, '1'},
                                                                   {3, '2'},
                                                                   {4, '3'},
                                                                   {5, '4'},
                                                                   {6, '5'},
                                                                   {7, '6'},
                                                                   {8, '7'},
                                                                   {9, '8'},
                                                                   {10, '9'},
                                                                   {11, '0'},
                                                                   {12, vk::kOemMinus},
                                                                   {13, vk::kOemPlus},
                                                                   {16, 'Q'},
                                                                   {17, 'W'},
                                                                   {18, 'E'},
                                                                   {19, 'R'},
                                                                   {20, 'T'},
                                                                   {21, 'Y'},
                                                                   {22, 'U'},
                                                                   {23, 'I'},
                                                                   {24, 'O'},
                                                                   {25, 'P'},
                                                                   {26, vk::kOem4},
                                                                   {27, vk::kOem6},
                                                                   {30, 'A'},
                                                                   {31, 'S'},
                                                                   {32, 'D'},
                                                                   {33, 'F'},
                                                                   {34, 'G'},
                                                                   {35, 'H'},
                                                                   {36, 'J'},
                                                                   {37, 'K'},
                                                                   {38, 'L'},
                                                                   {39, vk::kOem1},
                                                                   {40, vk::kOem7},
                                                                   {41, vk::kOem3},
                                                                   {43, vk::kOem5},
                                                                   {44, 'Z'},
                                                                   {45, 'X'},
                                                                   {46, 'C'},
                                                                   {47, 'V'},
                                                                   {48, 'B'},
                                                                   {49, 'N'},
                                                                   {50, 'M'},
                                                                   {51, vk::kOemComma},
                                                                   {52, vk::kOemPeriod},
                                                                   {53, vk::kOem2},
                                                                   {57, vk::kSpace},
                                                                   {86, vk::kOem102}};

// Physical keys of the virtual keys that are not characters, for keymaps whose keysyms do
// not name them (F13 is XF86Tools in the usual evdev keymap).
constexpr std::pair<std::uint8_t, std::uint16_t> kFixedKeys[] = {{vk::kEscape, 1},
                                                                 {vk::kBack, 14},
                                                                 {vk::kTab, 15},
                                                                 {vk::kReturn, 28},
                                                                 {vk::kControl, 29},
                                                                 {vk::kShift, 42},
                                                                 {vk::kMenu, 56},
                                                                 {vk::kCapital, 58},
                                                                 {vk::kNumLock, 69},
                                                                 {vk::kScroll, 70},
                                                                 {vk::kHome, 102},
                                                                 {vk::kUp, 103},
                                                                 {vk::kPrior, 104},
                                                                 {vk::kLeft, 105},
                                                                 {vk::kRight, 106},
                                                                 {vk::kEnd, 107},
                                                                 {vk::kDown, 108},
                                                                 {vk::kNext, 109},
                                                                 {vk::kInsert, 110},
                                                                 {vk::kDelete, 111},
                                                                 {vk::kPause, 119},
                                                                 {vk::kCancel, 119},
                                                                 {vk::kSnapshot, 99},
                                                                 {vk::kPrint, 99},
                                                                 {vk::kHelp, 138},
                                                                 {vk::kClear, 76},
                                                                 {vk::kLShift, 42},
                                                                 {vk::kRShift, 54},
                                                                 {vk::kLControl, 29},
                                                                 {vk::kRControl, 97},
                                                                 {vk::kLMenu, 56},
                                                                 {vk::kRMenu, 100},
                                                                 {vk::kNumpad0, 82},
                                                                 {vk::kNumpad0 + 1, 79},
                                                                 {vk::kNumpad0 + 2, 80},
                                                                 {vk::kNumpad0 + 3, 81},
                                                                 {vk::kNumpad0 + 4, 75},
                                                                 {vk::kNumpad0 + 5, 76},
                                                                 {vk::kNumpad0 + 6, 77},
                                                                 {vk::kNumpad0 + 7, 71},
                                                                 {vk::kNumpad0 + 8, 72},
                                                                 {vk::kNumpad0 + 9, 73},
                                                                 {0x6A, 55},
                                                                 {0x6B, 78},
                                                                 {0x6D, 74},
                                                                 {0x6E, 83},
                                                                 {0x6F, 98},
                                                                 {vk::kF1, 59},
                                                                 {vk::kF1 + 1, 60},
                                                                 {vk::kF1 + 2, 61},
                                                                 {vk::kF1 + 3, 62},
                                                                 {vk::kF1 + 4, 63},
                                                                 {vk::kF1 + 5, 64},
                                                                 {vk::kF1 + 6, 65},
                                                                 {vk::kF1 + 7, 66},
                                                                 {vk::kF1 + 8, 67},
                                                                 {vk::kF1 + 9, 68},
                                                                 {vk::kF1 + 10, 87},
                                                                 {vk::kF1 + 11, 88},
                                                                 {vk::kF1 + 12, 183},
                                                                 {vk::kF1 + 13, 184},
                                                                 {vk::kF1 + 14, 185},
                                                                 {vk::kF1 + 15, 186},
                                                                 {vk::kF1 + 16, 187},
                                                                 {vk::kF1 + 17, 188},
                                                                 {vk::kF1 + 18, 189},
                                                                 {vk::kF1 + 19, 190},
                                                                 {vk::kF1 + 20, 191},
                                                                 {vk::kF1 + 21, 192},
                                                                 {vk::kF1 + 22, 193},
                                                                 {vk::kF1 + 23, 194}};

// Virtual keys by the keysym a key types without modifiers.
constexpr std::pair<std::uint32_t, std::uint8_t> kKeysymKeys[] = {{keysym::kBackSpace, vk::kBack},
                                                                  {keysym::kTab, vk::kTab},
                                                                  {keysym::kClear, vk::kClear},
                                                                  {keysym::kReturn, vk::kReturn},
                                                                  {keysym::kPause, vk::kPause},
                                                                  {keysym::kPause, vk::kCancel},
                                                                  {keysym::kScrollLock, vk::kScroll},
                                                                  {keysym::kEscape, vk::kEscape},
                                                                  {keysym::kHome, vk::kHome},
                                                                  {keysym::kLeft, vk::kLeft},
                                                                  {keysym::kUp, vk::kUp},
                                                                  {keysym::kRight, vk::kRight},
                                                                  {keysym::kDown, vk::kDown},
                                                                  {keysym::kPrior, vk::kPrior},
                                                                  {keysym::kNext, vk::kNext},
                                                                  {keysym::kEnd, vk::kEnd},
                                                                  {keysym::kPrint, vk::kSnapshot},
                                                                  {keysym::kPrint, vk::kPrint},
                                                                  {keysym::kInsert, vk::kInsert},
                                                                  {keysym::kHelp, vk::kHelp},
                                                                  {keysym::kNumLock, vk::kNumLock},
                                                                  {keysym::kKpBegin, vk::kClear},
                                                                  {keysym::kShiftL, vk::kShift},
                                                                  {keysym::kShiftL, vk::kLShift},
                                                                  {keysym::kShiftR, vk::kRShift},
                                                                  {keysym::kControlL, vk::kControl},
                                                                  {keysym::kControlL, vk::kLControl},
                                                                  {keysym::kControlR, vk::kRControl},
                                                                  {keysym::kCapsLock, vk::kCapital},
                                                                  {keysym::kAltL, vk::kMenu},
                                                                  {keysym::kAltL, vk::kLMenu},
                                                                  {keysym::kAltR, vk::kRMenu},
                                                                  {keysym::kIsoLevel3Shift, vk::kRMenu},
                                                                  {keysym::kDelete, vk::kDelete},
                                                                  {0x20, vk::kSpace}};

// Unassigned and OEM virtual keys for character keys the US positions do not cover.
constexpr std::uint8_t kSpareKeys[] = {0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF, 0xC0, 0xDB, 0xDC, 0xDD, 0xDE,
                                       0xDF, 0xE1, 0xE2, 0xE3, 0xE4, 0xE6, 0xE9, 0xEA, 0xEB, 0xEC, 0xED,
                                       0xEE, 0xEF, 0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0x88, 0x89, 0x8A,
                                       0x8B, 0x8C, 0x8D, 0x8E, 0x8F, 0x97, 0x98, 0x99, 0x9A, 0x9B, 0x9C};

constexpr std::pair<std::uint16_t, std::uint8_t> kExtendedScans[] = {
    {96, 0x1C},  {97, 0x1D},  {98, 0x35},  {99, 0x37},  {100, 0x38}, {102, 0x47},
    {103, 0x48}, {104, 0x49}, {105, 0x4B}, {106, 0x4D}, {107, 0x4F}, {108, 0x50},
    {109, 0x51}, {110, 0x52}, {111, 0x53}, {125, 0x5B}, {126, 0x5C}, {127, 0x5D}};
constexpr std::pair<std::uint16_t, std::uint8_t> kOtherScans[] = {
    {119, 0x45}, {183, 0x64}, {184, 0x65}, {185, 0x66}, {186, 0x67}, {187, 0x68}, {188, 0x69},
    {189, 0x6A}, {190, 0x6B}, {191, 0x6C}, {192, 0x6D}, {193, 0x6E}, {194, 0x76}};

// What a dead key followed by Space types (the X compose rules and the console agree).
constexpr std::pair<std::uint32_t, char32_t> kDeadKeySpacing[] = {
    {0xfe50, U'`'},      {0xfe51, U'\''},     {0xfe52, U'^'},     {0xfe53, U'~'},      {0xfe54, U'\u00AF'},
    {0xfe55, U'\u02D8'}, {0xfe56, U'\u02D9'}, {0xfe57, U'"'},     {0xfe58, U'\u00B0'}, {0xfe59, U'\u02DD'},
    {0xfe5a, U'\u02C7'}, {0xfe5b, U'\u00B8'}, {0xfe5c, U'\u02DB'}};

bool IsDeadKeysym(std::uint32_t sym)
{
    return sym >= keysym::kDeadFirst && sym <= keysym::kDeadLast;
}

bool IsKeypadKeysym(std::uint32_t sym)
{
    return sym >= keysym::kKpFirst && sym <= keysym::kKpLast;
}

// Keysyms of function keys that stand for a control character but are not how Windows
// types it (Linefeed, Clear, KP_Enter, Delete ...): only these four keep their character.
bool TypesItsCharacter(std::uint32_t sym)
{
    return sym < 0xff00 || sym > 0xffff || sym == keysym::kBackSpace || sym == keysym::kTab ||
           sym == keysym::kReturn || sym == keysym::kEscape;
}

std::optional<std::uint8_t> LetterOrDigitVk(char32_t c)
{
    if (c >= U'a' && c <= U'z') {
        return static_cast<std::uint8_t>(c - U'a' + 'A');
    }
    if ((c >= U'A' && c <= U'Z') || (c >= U'0' && c <= U'9')) {
        return static_cast<std::uint8_t>(c);
    }
    return std::nullopt;
}

bool HasCharacter(const PhysicalKey& key)
{
    return std::any_of(key.chars.begin(), key.chars.end(), [](char32_t c) { return c != 0; }) ||
           std::any_of(key.keysyms.begin(), key.keysyms.end(), IsDeadKeysym);
}
} // namespace

std::uint32_t Set1ScanForEvdev(std::uint16_t evdev)
{
    if (evdev >= 1 && evdev <= 88) {
        return evdev;
    }
    for (const auto& [code, scan] : kExtendedScans) {
        if (code == evdev) {
            return scan;
        }
    }
    for (const auto& [code, scan] : kOtherScans) {
        if (code == evdev) {
            return scan;
        }
    }
    return 0;
}

std::optional<std::uint16_t> EvdevForSet1Scan(std::uint8_t scan, bool extended)
{
    if (extended) {
        for (const auto& [code, s] : kExtendedScans) {
            if (s == scan) {
                return code;
            }
        }
        return std::nullopt;
    }
    if (scan >= 1 && scan <= 88) {
        return scan;
    }
    for (const auto& [code, s] : kOtherScans) {
        if (s == scan) {
            return code;
        }
    }
    return std::nullopt;
}

KeyLayout::KeyLayout(LayoutDescription description) : description_(std::move(description))
{
    std::sort(description_.keys.begin(), description_.keys.end(),
              [](const PhysicalKey& a, const PhysicalKey& b) { return a.evdev < b.evdev; });
    AssignVirtualKeys();
    MapCharacters();
}

bool KeyLayout::Assign(std::uint8_t vk, std::uint16_t evdev)
{
    if (evdevForVk_[vk]) {
        return false;
    }
    evdevForVk_[vk] = evdev;
    vkForEvdev_.emplace(evdev, vk);
    return true;
}

void KeyLayout::AssignVirtualKeys()
{
    auto& keys = description_.keys;
    for (const auto& key : keys) {
        for (const auto& [sym, vkCode] : kKeysymKeys) {
            if (key.keysyms[0] == sym) {
                Assign(vkCode, key.evdev);
            }
        }
        if (key.keysyms[0] >= keysym::kF1 && key.keysyms[0] <= keysym::kF24) {
            Assign(static_cast<std::uint8_t>(vk::kF1 + (key.keysyms[0] - keysym::kF1)), key.evdev);
        }
    }
    // Letters and digits by what they type, so that VK_Z types "z" whatever its position.
    for (const auto& key : keys) {
        if (vkForEvdev_.count(key.evdev) == 0 && !IsKeypadKeysym(key.keysyms[0])) {
            if (const auto vkCode = LetterOrDigitVk(key.chars[0])) {
                Assign(*vkCode, key.evdev);
            }
        }
    }
    for (const auto& key : keys) {
        if (key.evdev >= kKeyNumberRowFirst && key.evdev <= kKeyNumberRowLast && HasCharacter(key) &&
            vkForEvdev_.count(key.evdev) == 0) {
            Assign(static_cast<std::uint8_t>(key.evdev == kKeyNumberRowLast ? '0' : '0' + key.evdev - 1),
                   key.evdev);
        }
    }
    for (const auto& key : keys) {
        if (vkForEvdev_.count(key.evdev) != 0 || !HasCharacter(key) || IsKeypadKeysym(key.keysyms[0])) {
            continue;
        }
        const auto pos = std::find_if(std::begin(kUsPositions), std::end(kUsPositions),
                                      [&](const auto& p) { return p.first == key.evdev; });
        if (pos != std::end(kUsPositions) && Assign(pos->second, key.evdev)) {
            continue;
        }
        for (const std::uint8_t spare : kSpareKeys) {
            if (Assign(spare, key.evdev)) {
                break;
            }
        }
    }
    for (const auto& [vkCode, evdev] : kFixedKeys) {
        if (!evdevForVk_[vkCode]) {
            evdevForVk_[vkCode] = evdev;
            vkForEvdev_.emplace(evdev, vkCode);
        }
    }
}

void KeyLayout::MapCharacters()
{
    constexpr std::uint8_t kLevelBits[4] = {0, kShiftBit, kCtrlBit | kAltBit, kShiftBit | kCtrlBit | kAltBit};
    const int levels = description_.level3Key ? 4 : 2;
    for (int level = 0; level < levels; ++level) {
        for (const auto& key : description_.keys) {
            const char32_t ch = key.chars[static_cast<std::size_t>(level)];
            const auto vkIt = vkForEvdev_.find(key.evdev);
            const std::uint32_t sym = key.keysyms[static_cast<std::size_t>(level)];
            if (IsDeadKeysym(sym) && vkIt != vkForEvdev_.end()) {
                for (const auto& [dead, spacing] : kDeadKeySpacing) {
                    if (dead == sym) {
                        deadKeyForChar_.emplace(spacing, MakeShiftedKey(vkIt->second, kLevelBits[level]));
                    }
                }
            }
            if (ch == 0 || vkIt == vkForEvdev_.end() || IsKeypadKeysym(sym) || !TypesItsCharacter(sym)) {
                continue;
            }
            keyForChar_.emplace(ch, MakeShiftedKey(vkIt->second, kLevelBits[level]));
        }
    }
    for (const auto& key : description_.keys) {
        if (key.keysyms[2] != 0 && key.keysyms[2] != key.keysyms[0]) {
            altGrKeys_[key.evdev] = true;
        }
        if (key.keysyms[3] != 0 && key.keysyms[3] != key.keysyms[1]) {
            altGrKeys_[key.evdev] = true;
        }
    }
    // Control characters are Ctrl chords, as on Windows: LF is Ctrl+Enter, DEL Ctrl+Backspace,
    // 1-26 Ctrl+letter.
    if (evdevForVk_[vk::kReturn]) {
        keyForChar_.emplace(U'\n', MakeShiftedKey(vk::kReturn, kCtrlBit));
    }
    if (evdevForVk_[vk::kBack]) {
        keyForChar_.emplace(U'\x7f', MakeShiftedKey(vk::kBack, kCtrlBit));
    }
    for (char32_t c = 1; c <= 26; ++c) {
        const auto letter = static_cast<std::uint8_t>('A' + c - 1);
        if (evdevForVk_[letter]) {
            keyForChar_.emplace(c, MakeShiftedKey(letter, kCtrlBit));
        }
    }
}

ShiftedKey KeyLayout::VkKeyScan(char32_t ch) const
{
    const auto it = keyForChar_.find(ch);
    return it == keyForChar_.end() ? kNoKey : it->second;
}

ShiftedKey KeyLayout::DeadKeyScan(char32_t ch) const
{
    const auto it = deadKeyForChar_.find(ch);
    return it == deadKeyForChar_.end() ? kNoKey : it->second;
}

std::optional<std::uint16_t> KeyLayout::EvdevForVk(std::uint8_t vk) const
{
    return evdevForVk_[vk];
}

std::uint32_t KeyLayout::ScanCode(std::uint8_t vk) const
{
    const auto evdev = evdevForVk_[vk];
    return evdev ? Set1ScanForEvdev(*evdev) : 0;
}

bool KeyLayout::HasAltGrLevel(std::uint16_t evdev) const
{
    return altGrKeys_.count(evdev) != 0;
}

} // namespace lantorvix
