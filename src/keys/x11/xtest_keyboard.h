#pragma once

#include "keys/linux/linux_keyboard_base.h"

#include <memory>
#include <optional>
#include <string>

struct _XDisplay;

namespace lantorvix {

// Keys typed through the XTest extension of an X server, chosen for the server's active
// XKB layout and group (re-read when the server reports a new map or group). Every event
// is flushed at once, so keys arrive in order and without delay. Owns its own connection.
// Thread safety: one thread at a time.
class XTestKeyboard : public LinuxKeyboardBase {
public:
    // Throws Exception when the display cannot be opened or lacks XTest or XKB.
    XTestKeyboard(const std::string& displayName, CodePage codePage, MessageBoxHandler messageBox,
                  std::function<void()> pump);
    ~XTestKeyboard() override;
    XTestKeyboard(const XTestKeyboard&) = delete;
    XTestKeyboard& operator=(const XTestKeyboard&) = delete;

protected:
    const KeyLayout& Layout(bool refresh) override;
    void EmitKey(std::uint16_t evdev, bool press) override;
    void Flush() override;
    bool NumLockState() override;
    void SetNumLockState(bool on) override;

private:
    void TakeServerNotifications();

    struct DisplayCloser {
        void operator()(_XDisplay* d) const;
    };
    std::unique_ptr<_XDisplay, DisplayCloser> display_;
    int xkbEventBase_ = 0;
    unsigned numLockMask_ = 0;
    std::optional<KeyLayout> layout_;
};

} // namespace lantorvix
