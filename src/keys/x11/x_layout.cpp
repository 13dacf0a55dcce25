#include "keys/x11/x_layout.h"

#include "base/exception.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <memory>
#include <string>

namespace lantorvix {

namespace {
struct KeyboardFree {
    void operator()(XkbDescPtr xkb) const { XkbFreeKeyboard(xkb, 0, True); }
};

constexpr int kRightAltKeycode = 100 + 8;

// The shift level a key type gives for a set of real modifiers.
int LevelFor(const XkbKeyTypeRec* type, unsigned mods)
{
    const unsigned relevant = mods & type->mods.mask;
    for (int i = 0; i < type->map_count; ++i) {
        const XkbKTMapEntryRec& e = type->map[i];
        if (e.active && e.mods.mask == relevant) {
            return e.level;
        }
    }
    return 0;
}

int EffectiveGroup(XkbDescPtr xkb, KeyCode kc, int group)
{
    const int groups = XkbKeyNumGroups(xkb, kc);
    if (group < groups) {
        return group;
    }
    switch (XkbOutOfRangeGroupAction(XkbKeyGroupInfo(xkb, kc))) {
    case XkbClampIntoRange:
        return groups - 1;
    case XkbRedirectIntoRange: {
        const int target = XkbOutOfRangeGroupNumber(XkbKeyGroupInfo(xkb, kc));
        return target < groups ? target : 0;
    }
    default:
        return group % groups;
    }
}
} // namespace

namespace {
LayoutDescription DescribeGroup(XkbDescPtr map, int group, const std::function<bool(int keycode)>& skip)
{
    LayoutDescription description;
    unsigned level3Mask = 0;
    // The AltGr key: right Alt when it selects the third level, else the first key that does.
    for (int kc = map->min_key_code; kc <= map->max_key_code; ++kc) {
        const auto code = static_cast<KeyCode>(kc);
        if (XkbKeyNumGroups(map, code) > 0 &&
            XkbKeySymEntry(map, code, 0, EffectiveGroup(map, code, group)) == XK_ISO_Level3_Shift &&
            map->map->modmap[kc] != 0 && (!description.level3Key || kc == kRightAltKeycode)) {
            level3Mask = map->map->modmap[kc];
            description.level3Key = static_cast<std::uint16_t>(kc - 8);
        }
    }
    const unsigned masks[4] = {0, ShiftMask, level3Mask, ShiftMask | level3Mask};
    for (int kc = std::max<int>(map->min_key_code, 8); kc <= map->max_key_code; ++kc) {
        const auto code = static_cast<KeyCode>(kc);
        if (XkbKeyNumGroups(map, code) == 0 || (skip && skip(kc))) {
            continue;
        }
        const int g = EffectiveGroup(map, code, group);
        const XkbKeyTypeRec* type = XkbKeyKeyType(map, code, g);
        PhysicalKey key;
        key.evdev = static_cast<std::uint16_t>(kc - 8);
        for (int level = 0; level < 4; ++level) {
            if (level >= 2 && level3Mask == 0) {
                break;
            }
            const int shiftLevel = LevelFor(type, masks[level]);
            if (shiftLevel >= XkbKeyGroupWidth(map, code, g)) {
                continue;
            }
            const auto sym = static_cast<std::uint32_t>(XkbKeySymEntry(map, code, shiftLevel, g));
            key.keysyms[static_cast<std::size_t>(level)] = sym;
            key.chars[static_cast<std::size_t>(level)] = xkb_keysym_to_utf32(sym);
        }
        description.keys.push_back(key);
    }
    return description;
}
} // namespace

ActiveXkbLayout ReadXServerNames(Display* display)
{
    ActiveXkbLayout out;
    XkbStateRec state{};
    XkbGetState(display, XkbUseCoreKbd, &state);
    out.group = state.group;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const Atom property = XInternAtom(display, "_XKB_RULES_NAMES", True);
    if (property == 0 || XGetWindowProperty(display, DefaultRootWindow(display), property, 0, 1024, False,
                                            XA_STRING, &type, &format, &count, &after, &data) != Success) {
        return out;
    }
    // rules, model, layout, variant, options: NUL-terminated strings one after the other.
    std::string* fields[] = {&out.names.rules, &out.names.model, &out.names.layout, &out.names.variant,
                             &out.names.options};
    std::size_t field = 0;
    for (unsigned long i = 0; data != nullptr && format == 8 && i < count && field < 5; ++i) {
        if (data[i] == 0) {
            ++field;
        } else {
            fields[field]->push_back(static_cast<char>(data[i]));
        }
    }
    XFree(data);
    return out;
}

std::optional<ActiveXkbLayout> DescribeXServer(const std::string& displayName)
{
    Display* display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (display == nullptr) {
        return std::nullopt;
    }
    ActiveXkbLayout names = ReadXServerNames(display);
    XCloseDisplay(display);
    return names;
}

XServerKeyboard DescribeXServerKeyboard(Display* display, const std::function<bool(int keycode)>& skip)
{
    std::unique_ptr<XkbDescRec, KeyboardFree> xkb(
        XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask | XkbModifierMapMask, XkbUseCoreKbd));
    if (!xkb) {
        throw Exception("Cannot read the keyboard map of the X server");
    }
    XkbStateRec state{};
    XkbGetState(display, XkbUseCoreKbd, &state);
    XkbDescPtr map = xkb.get();
    int groups = 1;
    for (int kc = map->min_key_code; kc <= map->max_key_code; ++kc) {
        groups = std::max<int>(groups, XkbKeyNumGroups(map, static_cast<KeyCode>(kc)));
    }
    XServerKeyboard keyboard;
    keyboard.activeGroup = state.group < groups ? state.group : 0;
    for (int g = 0; g < groups; ++g) {
        keyboard.groups.push_back(DescribeGroup(map, g, skip));
    }
    return keyboard;
}

} // namespace lantorvix
