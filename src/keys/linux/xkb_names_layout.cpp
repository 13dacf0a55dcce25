#include "keys/linux/xkb_names_layout.h"

#include "base/exception.h"

#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <vector>

namespace lantorvix {

namespace {
struct ContextDeleter {
    void operator()(xkb_context* c) const { xkb_context_unref(c); }
};
struct KeymapDeleter {
    void operator()(xkb_keymap* k) const { xkb_keymap_unref(k); }
};
struct StateDeleter {
    void operator()(xkb_state* s) const { xkb_state_unref(s); }
};

constexpr xkb_keycode_t kRightAltKeycode = 100 + 8;

const char* OrNull(const std::string& s)
{
    return s.empty() ? nullptr : s.c_str();
}

std::string Unquote(std::string value)
{
    while (!value.empty() && (value.back() == '\r' || value.back() == ' ')) {
        value.pop_back();
    }
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}
} // namespace

XkbNames ConfiguredXkbNames(XkbNames names, std::string_view configFile)
{
    struct Field {
        std::string* value;
        const char* env;
        const char* key;
    };
    const Field fields[] = {{&names.rules, "XKB_DEFAULT_RULES", "XKBRULES"},
                            {&names.model, "XKB_DEFAULT_MODEL", "XKBMODEL"},
                            {&names.layout, "XKB_DEFAULT_LAYOUT", "XKBLAYOUT"},
                            {&names.variant, "XKB_DEFAULT_VARIANT", "XKBVARIANT"},
                            {&names.options, "XKB_DEFAULT_OPTIONS", "XKBOPTIONS"}};
    const bool layoutGiven = !names.layout.empty();
    for (const auto& f : fields) {
        if (f.value->empty()) {
            if (const char* v = std::getenv(f.env); v != nullptr && !layoutGiven) {
                *f.value = v;
            }
        }
    }
    if (!names.layout.empty()) {
        return names;
    }
    std::ifstream in{std::string(configFile)};
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos) {
            continue;
        }
        const std::string key = line.substr(0, eq);
        for (const auto& f : fields) {
            if (key == f.key && f.value->empty()) {
                *f.value = Unquote(line.substr(eq + 1));
            }
        }
    }
    return names;
}

LayoutDescription DescribeXkbLayout(const XkbNames& names, int group)
{
    std::unique_ptr<xkb_context, ContextDeleter> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!context) {
        throw Exception("Cannot create an XKB context");
    }
    // A layout that does not compile is reported by the exception below.
    xkb_context_set_log_level(context.get(), XKB_LOG_LEVEL_CRITICAL);
    const xkb_rule_names rmlvo{OrNull(names.rules), OrNull(names.model), OrNull(names.layout),
                               OrNull(names.variant), OrNull(names.options)};
    std::unique_ptr<xkb_keymap, KeymapDeleter> keymap(
        xkb_keymap_new_from_names(context.get(), &rmlvo, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap) {
        throw Exception("Cannot compile the keyboard layout \"" + names.layout + "\" (variant \"" +
                        names.variant + "\")");
    }
    xkb_keymap* map = keymap.get();
    const auto layout = static_cast<xkb_layout_index_t>(
        static_cast<xkb_layout_index_t>(group) < xkb_keymap_num_layouts(map) ? group : 0);
    const xkb_keycode_t first = xkb_keymap_min_keycode(map);
    const xkb_keycode_t last = xkb_keymap_max_keycode(map);

    LayoutDescription description;
    xkb_mod_mask_t level3Mask = 0;
    // The AltGr key: right Alt when it selects the third level, else the first key that does.
    for (xkb_keycode_t kc = first; kc <= last; ++kc) {
        const xkb_keysym_t* syms = nullptr;
        if (kc >= 8 && kc <= 255 && xkb_keymap_key_get_syms_by_level(map, kc, layout, 0, &syms) == 1 &&
            syms[0] == XKB_KEY_ISO_Level3_Shift && (!description.level3Key || kc == kRightAltKeycode)) {
            std::unique_ptr<xkb_state, StateDeleter> state(xkb_state_new(map));
            xkb_state_update_mask(state.get(), 0, 0, 0, 0, 0, layout);
            xkb_state_update_key(state.get(), kc, XKB_KEY_DOWN);
            level3Mask = xkb_state_serialize_mods(state.get(), XKB_STATE_MODS_DEPRESSED);
            description.level3Key = static_cast<std::uint16_t>(kc - 8);
        }
    }
    const xkb_mod_index_t shiftIndex = xkb_keymap_mod_get_index(map, XKB_MOD_NAME_SHIFT);
    const xkb_mod_mask_t shiftMask = shiftIndex == XKB_MOD_INVALID ? 0 : (1u << shiftIndex);
    const xkb_mod_mask_t masks[4] = {0, shiftMask, level3Mask, shiftMask | level3Mask};

    std::unique_ptr<xkb_state, StateDeleter> state(xkb_state_new(map));
    for (xkb_keycode_t kc = first; kc <= last; ++kc) {
        // X and the uinput device only carry key codes up to 255.
        if (kc < 8 || kc > 255 || xkb_keymap_num_layouts_for_key(map, kc) == 0) {
            continue;
        }
        PhysicalKey key;
        key.evdev = static_cast<std::uint16_t>(kc - 8);
        for (int level = 0; level < 4; ++level) {
            if (level >= 2 && level3Mask == 0) {
                break;
            }
            xkb_state_update_mask(state.get(), masks[level], 0, 0, 0, 0, layout);
            const xkb_keysym_t sym = xkb_state_key_get_one_sym(state.get(), kc);
            key.keysyms[static_cast<std::size_t>(level)] = sym;
            key.chars[static_cast<std::size_t>(level)] = xkb_keysym_to_utf32(sym);
        }
        description.keys.push_back(key);
    }
    return description;
}

namespace {
std::vector<std::string> SplitCommas(std::string_view text)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        parts.emplace_back(text.substr(start, comma - start));
        if (comma == std::string_view::npos) {
            return parts;
        }
        start = comma + 1;
    }
}

std::string Trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    const auto last = text.find_last_not_of(" \t");
    return first == std::string_view::npos ? std::string()
                                           : std::string(text.substr(first, last - first + 1));
}
} // namespace

XkbNames XkbNamesFromLayoutText(std::string_view text)
{
    XkbNames names;
    bool anyVariant = false;
    const auto parts = SplitCommas(text);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::string part = Trimmed(parts[i]);
        std::string variant;
        if (const auto open = part.find('('); open != std::string::npos && part.back() == ')') {
            variant = Trimmed(std::string_view(part).substr(open + 1, part.size() - open - 2));
            part = Trimmed(std::string_view(part).substr(0, open));
        }
        anyVariant = anyVariant || !variant.empty();
        if (i > 0) {
            names.layout += ',';
            names.variant += ',';
        }
        names.layout += part;
        names.variant += variant;
    }
    if (!anyVariant) {
        names.variant.clear();
    }
    return names;
}

std::string GroupLayoutText(const XkbNames& names, int group)
{
    const auto layouts = SplitCommas(names.layout);
    const auto variants = SplitCommas(names.variant);
    const auto g = static_cast<std::size_t>(group);
    if (g >= layouts.size()) {
        return {};
    }
    const std::string variant = g < variants.size() ? variants[g] : std::string();
    return variant.empty() ? layouts[g] : layouts[g] + "(" + variant + ")";
}

std::string LayoutText(const XkbNames& names)
{
    std::string text;
    const auto count = SplitCommas(names.layout).size();
    for (std::size_t g = 0; g < count; ++g) {
        if (g > 0) {
            text += ',';
        }
        text += GroupLayoutText(names, static_cast<int>(g));
    }
    return text;
}

UinputLayoutChoice ChooseUinputLayout(const XkbNames& given, std::string_view settingsKey,
                                      std::string_view configFile)
{
    UinputLayoutChoice choice;
    if (!Trimmed(settingsKey).empty()) {
        XkbNames names = XkbNamesFromLayoutText(settingsKey);
        names.rules = given.rules;
        names.model = given.model;
        names.options = given.options;
        choice.names = ConfiguredXkbNames(names, configFile);
        choice.source = "settings key [PROGRAM] KeyboardLayout=";
        return choice;
    }
    choice.names = ConfiguredXkbNames(given, configFile);
    if (!given.layout.empty()) {
        choice.source = "given by the caller";
    } else if (const char* v = std::getenv("XKB_DEFAULT_LAYOUT"); v != nullptr && *v != '\0') {
        choice.source = "environment ($XKB_DEFAULT_LAYOUT)";
    } else if (!choice.names.layout.empty()) {
        choice.source = std::string(configFile);
    } else {
        choice.source = "xkbcommon's default";
        choice.names.layout = "us";
    }
    return choice;
}

} // namespace lantorvix
