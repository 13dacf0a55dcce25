#include "keys/wayland/virtual_keymap.h"

#include "base/exception.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <vector>

namespace lantorvix {

namespace {
struct BaseKey {
    std::uint16_t evdev;
    const char* plain;
    const char* numLock; // the keypad level NumLock selects, or nullptr
};

// Standard codes, so that a receiving application that looks at codes (or at the X key
// codes Xwayland makes of them) sees the keys it knows.
constexpr BaseKey kBaseKeys[] = {{1, "Escape", nullptr},
                                 {14, "BackSpace", nullptr},
                                 {15, "Tab", nullptr},
                                 {28, "Return", nullptr},
                                 {29, "Control_L", nullptr},
                                 {42, "Shift_L", nullptr},
                                 {54, "Shift_R", nullptr},
                                 {55, "KP_Multiply", nullptr},
                                 {56, "Alt_L", nullptr},
                                 {58, "Caps_Lock", nullptr},
                                 {59, "F1", nullptr},
                                 {60, "F2", nullptr},
                                 {61, "F3", nullptr},
                                 {62, "F4", nullptr},
                                 {63, "F5", nullptr},
                                 {64, "F6", nullptr},
                                 {65, "F7", nullptr},
                                 {66, "F8", nullptr},
                                 {67, "F9", nullptr},
                                 {68, "F10", nullptr},
                                 {69, "Num_Lock", nullptr},
                                 {70, "Scroll_Lock", nullptr},
                                 {71, "KP_Home", "KP_7"},
                                 {72, "KP_Up", "KP_8"},
                                 {73, "KP_Prior", "KP_9"},
                                 {74, "KP_Subtract", nullptr},
                                 {75, "KP_Left", "KP_4"},
                                 {76, "KP_Begin", "KP_5"},
                                 {77, "KP_Right", "KP_6"},
                                 {78, "KP_Add", nullptr},
                                 {79, "KP_End", "KP_1"},
                                 {80, "KP_Down", "KP_2"},
                                 {81, "KP_Next", "KP_3"},
                                 {82, "KP_Insert", "KP_0"},
                                 {83, "KP_Delete", "KP_Decimal"},
                                 {87, "F11", nullptr},
                                 {88, "F12", nullptr},
                                 {96, "KP_Enter", nullptr},
                                 {97, "Control_R", nullptr},
                                 {98, "KP_Divide", nullptr},
                                 {99, "Print", nullptr},
                                 {100, "Alt_R", nullptr},
                                 {102, "Home", nullptr},
                                 {103, "Up", nullptr},
                                 {104, "Prior", nullptr},
                                 {105, "Left", nullptr},
                                 {106, "Right", nullptr},
                                 {107, "End", nullptr},
                                 {108, "Down", nullptr},
                                 {109, "Next", nullptr},
                                 {110, "Insert", nullptr},
                                 {111, "Delete", nullptr},
                                 {119, "Pause", nullptr},
                                 {125, "Super_L", nullptr},
                                 {126, "Super_R", nullptr},
                                 {127, "Menu", nullptr},
                                 {138, "Help", nullptr},
                                 {183, "F13", nullptr},
                                 {184, "F14", nullptr},
                                 {185, "F15", nullptr},
                                 {186, "F16", nullptr},
                                 {187, "F17", nullptr},
                                 {188, "F18", nullptr},
                                 {189, "F19", nullptr},
                                 {190, "F20", nullptr},
                                 {191, "F21", nullptr},
                                 {192, "F22", nullptr},
                                 {193, "F23", nullptr},
                                 {194, "F24", nullptr}};

// Codes above this are beyond the X key code range (evdev + 8 <= 255): Xwayland clients
// would never see them.
constexpr std::uint16_t kLastCode = 247;

const std::vector<std::uint16_t>& SpareCodes()
{
    static const std::vector<std::uint16_t> codes = [] {
        std::vector<std::uint16_t> free;
        for (std::uint16_t code = 2; code <= kLastCode; ++code) {
            if (std::none_of(std::begin(kBaseKeys), std::end(kBaseKeys),
                             [&](const BaseKey& k) { return k.evdev == code; })) {
                free.push_back(code);
            }
        }
        return free;
    }();
    return codes;
}

struct ContextDeleter {
    void operator()(xkb_context* c) const { xkb_context_unref(c); }
};
struct KeymapDeleter {
    void operator()(xkb_keymap* k) const { xkb_keymap_unref(k); }
};

std::string KeysymName(xkb_keysym_t sym)
{
    char name[64];
    xkb_keysym_get_name(sym, name, sizeof name);
    return name;
}

// The keymap's source: names <Kn> stand for evdev code n.
std::string Source(const std::map<char32_t, std::uint16_t>& keyOf)
{
    std::ostringstream codes;
    std::ostringstream symbols;
    codes << "xkb_keycodes \"lantorvix\" {\n  minimum = 8;\n  maximum = 255;\n";
    for (const auto& k : kBaseKeys) {
        codes << "  <K" << k.evdev << "> = " << k.evdev + 8 << ";\n";
        if (k.numLock != nullptr) {
            symbols << "  key <K" << k.evdev << "> { type = \"KEYPAD\", [ " << k.plain << ", " << k.numLock
                    << " ] };\n";
        } else {
            symbols << "  key <K" << k.evdev << "> { type = \"ONE_LEVEL\", [ " << k.plain << " ] };\n";
        }
    }
    for (const auto& [ch, code] : keyOf) {
        codes << "  <K" << code << "> = " << code + 8 << ";\n";
        const xkb_keysym_t sym = xkb_utf32_to_keysym(ch);
        const xkb_keysym_t upper = xkb_keysym_to_upper(sym);
        if (upper != sym && xkb_keysym_to_lower(sym) == sym) {
            symbols << "  key <K" << code << "> { type = \"ALPHABETIC\", [ " << KeysymName(sym) << ", "
                    << KeysymName(upper) << " ] };\n";
        } else {
            symbols << "  key <K" << code << "> { type = \"ONE_LEVEL\", [ " << KeysymName(sym) << " ] };\n";
        }
    }
    codes << "  indicator 1 = \"Caps Lock\";\n  indicator 2 = \"Num Lock\";\n  indicator 3 = \"Scroll "
             "Lock\";\n};\n";
    symbols << "  modifier_map Shift { <K42>, <K54> };\n  modifier_map Lock { <K58> };\n"
               "  modifier_map Control { <K29>, <K97> };\n  modifier_map Mod1 { <K56>, <K100> };\n"
               "  modifier_map Mod2 { <K69> };\n  modifier_map Mod4 { <K125>, <K126> };\n";
    return "xkb_keymap {\n" + codes.str() +
           "xkb_types { include \"complete\" };\nxkb_compat { include \"complete\" };\n"
           "xkb_symbols \"lantorvix\" {\n" +
           symbols.str() + "};\n};\n";
}
} // namespace

VirtualKeymap::VirtualKeymap() = default;

bool VirtualKeymap::Add(char32_t ch, std::uint64_t keep)
{
    askedAt_[ch] = ++clock_;
    if (keyOf_.count(ch) != 0) {
        return false;
    }
    const auto& spare = SpareCodes();
    if (keyOf_.size() < spare.size()) {
        std::vector<bool> taken(kLastCode + 1);
        for (const auto& entry : keyOf_) {
            taken[entry.second] = true;
        }
        const auto code =
            std::find_if(spare.begin(), spare.end(), [&](std::uint16_t c) { return !taken[c]; });
        keyOf_.emplace(ch, *code);
        return true;
    }
    auto oldest = keyOf_.begin();
    for (auto it = keyOf_.begin(); it != keyOf_.end(); ++it) {
        if (askedAt_[it->first] < askedAt_[oldest->first]) {
            oldest = it;
        }
    }
    if (askedAt_[oldest->first] >= keep) {
        return false;
    }
    const std::uint16_t code = oldest->second;
    askedAt_.erase(oldest->first);
    keyOf_.erase(oldest);
    keyOf_.emplace(ch, code);
    return true;
}

void VirtualKeymap::Typed(char32_t ch)
{
    if (keyOf_.count(ch) != 0) {
        askedAt_[ch] = 0;
    }
}

std::optional<std::uint16_t> VirtualKeymap::KeyOf(char32_t ch) const
{
    const auto it = keyOf_.find(ch);
    return it == keyOf_.end() ? std::nullopt : std::optional<std::uint16_t>(it->second);
}

std::size_t VirtualKeymap::Capacity() const
{
    return SpareCodes().size();
}

std::string VirtualKeymap::Text() const
{
    const std::unique_ptr<xkb_context, ContextDeleter> context(
        xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
    if (!context) {
        throw Exception("xkbcommon: no context");
    }
    const std::string source = Source(keyOf_);
    const std::unique_ptr<xkb_keymap, KeymapDeleter> keymap(xkb_keymap_new_from_string(
        context.get(), source.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap) {
        throw Exception("xkbcommon cannot compile the virtual keyboard's keymap");
    }
    char* text = xkb_keymap_get_as_string(keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1);
    if (text == nullptr) {
        throw Exception("xkbcommon cannot write the virtual keyboard's keymap");
    }
    std::string result(text);
    std::free(text);
    return result;
}

LayoutDescription VirtualKeymap::BaseKeys()
{
    LayoutDescription description;
    for (const auto& k : kBaseKeys) {
        PhysicalKey key;
        key.evdev = k.evdev;
        key.keysyms[0] = xkb_keysym_from_name(k.plain, XKB_KEYSYM_NO_FLAGS);
        if (k.numLock != nullptr) {
            key.keysyms[1] = xkb_keysym_from_name(k.numLock, XKB_KEYSYM_NO_FLAGS);
        }
        description.keys.push_back(key);
    }
    return description;
}

} // namespace lantorvix
