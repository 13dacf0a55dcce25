#include "keys/x11/xtest_keyboard.h"

#include "base/exception.h"
#include "keys/x11/x_layout.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <utility>

namespace lantorvix {

namespace {
constexpr std::uint16_t kKeyLeftShift = 42;
} // namespace

void XTestKeyboard::DisplayCloser::operator()(_XDisplay* d) const
{
    XCloseDisplay(d);
}

XTestKeyboard::XTestKeyboard(const std::string& displayName, CodePage codePage, MessageBoxHandler messageBox,
                             std::function<void()> pump)
    : LinuxKeyboardBase(codePage, std::move(messageBox), std::move(pump))
{
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    int reason = 0;
    int opcode = 0;
    int errorBase = 0;
    display_.reset(XkbOpenDisplay(displayName.empty() ? nullptr : displayName.c_str(), &xkbEventBase_,
                                  &errorBase, &major, &minor, &reason));
    if (!display_) {
        throw Exception(reason == XkbOD_ConnectionRefused
                            ? "Cannot open the X display \"" + displayName + "\""
                            : "The X display \"" + displayName + "\" has no usable XKB extension");
    }
    int eventBase = 0;
    if (!XQueryExtension(display_.get(), "XTEST", &opcode, &eventBase, &errorBase)) {
        throw Exception("The X display \"" + displayName + "\" has no XTEST extension");
    }
    numLockMask_ = XkbKeysymToModifiers(display_.get(), XK_Num_Lock);
    // Layout switches and new maps make the cached layout stale.
    XkbSelectEvents(display_.get(), XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                    XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
    XkbSelectEventDetails(display_.get(), XkbUseCoreKbd, XkbMapNotify, XkbAllMapComponentsMask,
                          XkbAllMapComponentsMask);
    XkbSelectEventDetails(display_.get(), XkbUseCoreKbd, XkbStateNotify, XkbGroupStateMask,
                          XkbGroupStateMask);
    XTestGrabControl(display_.get(), True);
    lender_.emplace(display_.get());
}

XTestKeyboard::~XTestKeyboard()
{
    ReleaseHeldKeys();
    lender_.reset();
}

bool XTestKeyboard::IsOwnMapChange(const void* mapNotify) const
{
    const auto& e = *static_cast<const XkbMapNotifyEvent*>(mapNotify);
    if (e.num_types > 0) {
        return false;
    }
    const std::pair<int, int> ranges[] = {
        {e.first_key_sym, e.num_key_syms},           {e.first_key_act, e.num_key_acts},
        {e.first_key_behavior, e.num_key_behaviors}, {e.first_key_explicit, e.num_key_explicit},
        {e.first_modmap_key, e.num_modmap_keys},     {e.first_vmodmap_key, e.num_vmodmap_keys}};
    bool any = false;
    for (const auto& [first, count] : ranges) {
        for (int kc = first; kc < first + count; ++kc) {
            if (!lender_->Owns(kc)) {
                return false;
            }
            any = true;
        }
    }
    return any;
}

void XTestKeyboard::TakeServerNotifications()
{
    Display* d = display_.get();
    while (XEventsQueued(d, QueuedAfterReading) > 0) {
        XEvent event;
        XNextEvent(d, &event);
        if (event.type != xkbEventBase_) {
            continue;
        }
        const auto& xkb = reinterpret_cast<const XkbEvent&>(event);
        if (xkb.any.xkb_type == XkbMapNotify && IsOwnMapChange(&xkb.map)) {
            continue; // a lent key code: the layout's own keys did not change
        }
        lender_->KeymapChanged();
        groups_.clear();
        numLockMask_ = XkbKeysymToModifiers(d, XK_Num_Lock);
    }
}

const KeyLayout& XTestKeyboard::Layout(bool refresh)
{
    if (refresh || groups_.empty()) {
        TakeServerNotifications();
    }
    if (groups_.empty()) {
        XServerKeyboard keyboard =
            DescribeXServerKeyboard(display_.get(), [this](int kc) { return lender_->Owns(kc); });
        for (auto& group : keyboard.groups) {
            groups_.emplace_back(std::move(group));
        }
        activeGroup_ = keyboard.activeGroup;
        groupKeys_.clear();
    }
    return groups_[static_cast<std::size_t>(activeGroup_)];
}

void XTestKeyboard::EmitKey(std::uint16_t evdev, bool press)
{
    XTestFakeKeyEvent(display_.get(), static_cast<unsigned>(evdev) + 8, press ? True : False, CurrentTime);
}

void XTestKeyboard::Flush()
{
    XFlush(display_.get());
}

void XTestKeyboard::SequenceBegins()
{
    lender_->BeginSequence();
}

std::optional<unsigned> XTestKeyboard::LendKey(char32_t ch)
{
    Layout(false);
    for (std::size_t g = 0; g < groups_.size(); ++g) {
        const ShiftedKey key = groups_[g].VkKeyScan(ch);
        if (static_cast<int>(g) == activeGroup_ || key == kNoKey) {
            continue;
        }
        const GroupKey groupKey{static_cast<int>(g), key};
        auto it = std::find(groupKeys_.begin(), groupKeys_.end(), groupKey);
        if (it == groupKeys_.end()) {
            it = groupKeys_.insert(it, groupKey);
        }
        return kGroupKeyIds + static_cast<unsigned>(it - groupKeys_.begin());
    }
    const xkb_keysym_t sym = xkb_utf32_to_keysym(ch);
    if (sym == XKB_KEY_NoSymbol) {
        return std::nullopt;
    }
    return lender_->Lend(sym, !Preparing());
}

void XTestKeyboard::EmitGroupKey(const GroupKey& key, bool press)
{
    const KeyLayout& layout = groups_[static_cast<std::size_t>(key.group)];
    const auto evdev = layout.EvdevForVk(VirtualKeyOf(key.key));
    if (!evdev) {
        return;
    }
    // The modifiers of the key's level in its group, pressed inside the group lock.
    std::vector<std::uint16_t> modifiers;
    if (ShiftBitsOf(key.key) & kShiftBit) {
        modifiers.push_back(kKeyLeftShift);
    }
    if ((ShiftBitsOf(key.key) & kCtrlBit) && layout.Level3Key()) {
        modifiers.push_back(*layout.Level3Key());
    }
    Display* d = display_.get();
    if (press) {
        XkbLockGroup(d, XkbUseCoreKbd, static_cast<unsigned>(key.group));
        for (const auto m : modifiers) {
            Emit(m, true);
        }
        Emit(*evdev, true);
        return;
    }
    Emit(*evdev, false);
    for (auto m = modifiers.rbegin(); m != modifiers.rend(); ++m) {
        Emit(*m, false);
    }
    XkbLockGroup(d, XkbUseCoreKbd, static_cast<unsigned>(activeGroup_));
}

void XTestKeyboard::EmitLentKey(unsigned id, bool press)
{
    if (id >= kGroupKeyIds) {
        if (id - kGroupKeyIds < groupKeys_.size()) {
            EmitGroupKey(groupKeys_[id - kGroupKeyIds], press);
        }
        return;
    }
    const std::uint8_t keycode = lender_->Keycode(id);
    if (keycode >= 8) {
        Emit(static_cast<std::uint16_t>(keycode - 8), press);
    }
}

bool XTestKeyboard::NumLockState()
{
    XkbStateRec state{};
    XkbGetState(display_.get(), XkbUseCoreKbd, &state);
    return numLockMask_ != 0 && (state.locked_mods & numLockMask_) != 0;
}

void XTestKeyboard::SetNumLockState(bool on)
{
    if (numLockMask_ != 0) {
        XkbLockModifiers(display_.get(), XkbUseCoreKbd, numLockMask_, on ? numLockMask_ : 0);
        XFlush(display_.get());
    }
}

} // namespace lantorvix
