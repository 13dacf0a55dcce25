#pragma once

#include "keys/linux/linux_keyboard_base.h"
#include "keys/x11/spare_key_binder.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>

struct _XDisplay;

namespace lantorvix {

// Keys typed through the XTest extension of an X server, chosen for the server's active
// XKB layout and group (re-read when the server reports a new keymap, map or group, never
// per key). A character the layout lacks, or has only as a dead key, is typed through a
// spare key code bound to its keysym for the moment (SpareKeyBinder). The events of one
// key sequence go out in one flush. Owns its own connection.
// Thread safety: one thread at a time.
class XTestKeyboard : public LinuxKeyboardBase {
public:
    // Throws Exception when the display cannot be opened or lacks XTest or XKB.
    // `restoreDelay`: how long a lent key code keeps its binding after its last use.
    XTestKeyboard(const std::string& displayName, CodePage codePage, MessageBoxHandler messageBox,
                  std::function<void()> pump,
                  std::chrono::milliseconds restoreDelay = std::chrono::milliseconds(500));
    ~XTestKeyboard() override;
    XTestKeyboard(const XTestKeyboard&) = delete;
    XTestKeyboard& operator=(const XTestKeyboard&) = delete;

protected:
    const KeyLayout& Layout(bool refresh) override;
    void EmitKey(std::uint16_t evdev, bool press) override;
    void Flush() override;
    bool NumLockState() override;
    void SetNumLockState(bool on) override;
    std::optional<unsigned> LendKey(char32_t ch) override;
    void EmitLentKey(unsigned id, bool press) override;

private:
    void TakeServerNotifications();
    bool IsOwnMapChange(const void* mapNotify) const;

    struct DisplayCloser {
        void operator()(_XDisplay* d) const;
    };
    std::unique_ptr<_XDisplay, DisplayCloser> display_;
    int xkbEventBase_ = 0;
    unsigned numLockMask_ = 0;
    std::optional<KeyLayout> layout_;
    std::optional<SpareKeyBinder> binder_; // after display_: restores through it when going
};

} // namespace lantorvix
