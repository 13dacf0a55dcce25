#include "keys/wayland/wayland_keyboard.h"

#include "base/exception.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <utility>

namespace lantorvix {

namespace {
constexpr std::uint16_t kKeyNumLock = 69;
constexpr xkb_keycode_t kXkbOffset = 8;
// Requests in one flush at most: well inside libwayland's 4 KiB buffer (a key is 20 bytes,
// modifiers 24).
constexpr std::size_t kRequestsPerFlush = 80;
constexpr std::uint16_t kModifierKeys[] = {29, 42, 54, 56, 97, 100, 125, 126};
} // namespace

void WaylandKeyboard::XkbDeleter::operator()(xkb_keymap* k) const
{
    xkb_keymap_unref(k);
}

void WaylandKeyboard::XkbDeleter::operator()(xkb_state* s) const
{
    xkb_state_unref(s);
}

WaylandKeyboard::WaylandKeyboard(std::unique_ptr<VirtualKeyboardOutput> output, CodePage codePage,
                                 MessageBoxHandler messageBox, std::function<void()> pump)
    : LinuxKeyboardBase(codePage, std::move(messageBox), std::move(pump)), output_(std::move(output)),
      layout_(VirtualKeymap::BaseKeys())
{
    SendKeymap();
    Flush();
}

WaylandKeyboard::~WaylandKeyboard()
{
    try {
        ReleaseHeldKeys();
    } catch (const Exception&) {
        // The compositor is gone, and the keys with it.
    }
}

void WaylandKeyboard::SendKeymap()
{
    const std::string text = keymap_.Text();
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    xkbKeymap_.reset(xkb_keymap_new_from_string(context, text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                XKB_KEYMAP_COMPILE_NO_FLAGS));
    xkb_context_unref(context);
    if (!xkbKeymap_) {
        throw Exception("xkbcommon cannot read the virtual keyboard's keymap back");
    }
    const bool numLock = state_ && NumLockState();
    state_.reset(xkb_state_new(xkbKeymap_.get()));
    // The keys held down and the lock carry over to the new keymap (their codes are the same).
    for (const auto evdev : pressed_) {
        xkb_state_update_key(state_.get(), evdev + kXkbOffset, XKB_KEY_DOWN);
    }
    if (numLock) {
        xkb_state_update_key(state_.get(), kKeyNumLock + kXkbOffset, XKB_KEY_DOWN);
        xkb_state_update_key(state_.get(), kKeyNumLock + kXkbOffset, XKB_KEY_UP);
    }
    output_->Keymap(text);
    ++unflushed_;
    keymapChanged_ = false;
    SendModifiers(true);
}

void WaylandKeyboard::SendModifiers(bool always)
{
    const std::array<std::uint32_t, 4> mods = {
        xkb_state_serialize_mods(state_.get(), XKB_STATE_MODS_DEPRESSED),
        xkb_state_serialize_mods(state_.get(), XKB_STATE_MODS_LATCHED),
        xkb_state_serialize_mods(state_.get(), XKB_STATE_MODS_LOCKED),
        xkb_state_serialize_layout(state_.get(), XKB_STATE_LAYOUT_EFFECTIVE)};
    if (always || mods != sentModifiers_) {
        output_->Modifiers(mods[0], mods[1], mods[2], mods[3]);
        ++unflushed_;
        sentModifiers_ = mods;
    }
}

bool WaylandKeyboard::OnlyModifiersDown() const
{
    return std::all_of(pressed_.begin(), pressed_.end(), [](std::uint16_t evdev) {
        return std::find(std::begin(kModifierKeys), std::end(kModifierKeys), evdev) !=
               std::end(kModifierKeys);
    });
}

void WaylandKeyboard::Flush()
{
    output_->Flush();
    unflushed_ = 0;
}

void WaylandKeyboard::EmitKey(std::uint16_t evdev, bool press)
{
    if (press && unflushed_ >= kRequestsPerFlush && OnlyModifiersDown()) {
        Flush();
    }
    if (keymapChanged_) {
        SendKeymap();
    }
    if (press) {
        pressed_.insert(evdev);
    } else {
        pressed_.erase(evdev);
    }
    output_->Key(evdev, press);
    ++unflushed_;
    xkb_state_update_key(state_.get(), evdev + kXkbOffset, press ? XKB_KEY_DOWN : XKB_KEY_UP);
    SendModifiers(false);
}

bool WaylandKeyboard::NumLockState()
{
    return xkb_state_mod_name_is_active(state_.get(), XKB_MOD_NAME_NUM, XKB_STATE_MODS_LOCKED) > 0;
}

void WaylandKeyboard::SetNumLockState(bool on)
{
    if (on != NumLockState()) {
        EmitKey(kKeyNumLock, true);
        EmitKey(kKeyNumLock, false);
        Flush();
    }
}

void WaylandKeyboard::PrepareCharacters(std::string_view characters)
{
    sequenceStart_ = keymap_.Clock() + 1;
    LinuxKeyboardBase::PrepareCharacters(characters);
}

std::optional<unsigned> WaylandKeyboard::LendKey(char32_t ch)
{
    if (xkb_utf32_to_keysym(ch) == XKB_KEY_NoSymbol) {
        return std::nullopt;
    }
    keymapChanged_ = keymap_.Add(ch, sequenceStart_) || keymapChanged_;
    return static_cast<unsigned>(ch);
}

void WaylandKeyboard::EmitLentKey(unsigned id, bool press)
{
    const auto ch = static_cast<char32_t>(id);
    // A code with more distinct characters than the keymap holds gets the keys of the ones
    // it has typed already: the keymap then changes within the code, still in order.
    if (!keymap_.KeyOf(ch)) {
        keymapChanged_ = keymap_.Add(ch) || keymapChanged_;
    }
    Emit(*keymap_.KeyOf(ch), press);
    if (!press) {
        keymap_.Typed(ch);
    }
}

} // namespace lantorvix
