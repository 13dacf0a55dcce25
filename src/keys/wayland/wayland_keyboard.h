#pragma once

#include "keys/linux/linux_keyboard_base.h"
#include "keys/wayland/virtual_keyboard_output.h"
#include "keys/wayland/virtual_keymap.h"

#include <memory>
#include <set>

struct xkb_keymap;
struct xkb_state;

namespace lantorvix {

// Keys typed through a compositor's virtual keyboard with a keymap of our own: every
// character a code needs has a key that types it with no modifier, whatever the user's
// layout, so nothing depends on dead keys or groups. The keymap is sent again only when a
// code needs a character it lacks, before that code's first key. Key names and the
// modifier keys use keys at their usual codes; the modifier state the compositor needs is
// kept here and sent with each change. A long code goes out in several flushes, each between
// two keystrokes: a receiver never sees a key held across a pause (it would repeat it).
// Thread safety: one thread at a time.
class WaylandKeyboard : public LinuxKeyboardBase {
public:
    WaylandKeyboard(std::unique_ptr<VirtualKeyboardOutput> output, CodePage codePage,
                    MessageBoxHandler messageBox, std::function<void()> pump);
    ~WaylandKeyboard() override;
    WaylandKeyboard(const WaylandKeyboard&) = delete;
    WaylandKeyboard& operator=(const WaylandKeyboard&) = delete;

    void PrepareCharacters(std::string_view characters) override;

protected:
    const KeyLayout& Layout(bool) override { return layout_; }
    void EmitKey(std::uint16_t evdev, bool press) override;
    void Flush() override;
    bool NumLockState() override;
    void SetNumLockState(bool on) override;
    std::optional<unsigned> LendKey(char32_t ch) override;
    void EmitLentKey(unsigned id, bool press) override;

private:
    struct XkbDeleter {
        void operator()(xkb_keymap* k) const;
        void operator()(xkb_state* s) const;
    };

    void SendKeymap();
    void SendModifiers(bool always);
    bool OnlyModifiersDown() const;

    std::unique_ptr<VirtualKeyboardOutput> output_;
    VirtualKeymap keymap_;
    KeyLayout layout_;
    bool keymapChanged_ = false;
    std::uint64_t sequenceStart_ = ~std::uint64_t{0}; // characters asked for since keep their keys
    std::unique_ptr<xkb_keymap, XkbDeleter> xkbKeymap_;
    std::unique_ptr<xkb_state, XkbDeleter> state_;
    std::set<std::uint16_t> pressed_;
    std::array<std::uint32_t, 4> sentModifiers_{};
    std::size_t unflushed_ = 0; // requests since the last flush
};

} // namespace lantorvix
