#pragma once

#include "keys/linux/linux_keyboard_base.h"
#include "keys/x11/key_code_lender.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct _XDisplay;

namespace lantorvix {

// Keys typed through the XTest extension of an X server, chosen for the server's active
// XKB layout and group (re-read when the server reports a new keymap, map or group, never
// per key). A character the active group lacks, or has only as a dead key, is typed from
// another group that has it (the group is locked for that key alone, so it travels in the
// key event's state and a busy client still reads it right); one no group has, through a
// lent spare key code bound to its keysym (KeyCodeLender). The events of one key sequence
// go out in one flush. Owns its own connection.
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
    void SequenceBegins() override;
    void ForgetLayout() override { groups_.clear(); }
    std::optional<unsigned> LendKey(char32_t ch) override;
    void EmitLentKey(unsigned id, bool press) override;

private:
    // A key of another group: typed with that group locked for it alone.
    struct GroupKey {
        int group;
        ShiftedKey key;
        bool operator==(const GroupKey&) const = default;
    };
    static constexpr unsigned kGroupKeyIds = 0x10000; // ids from here on are GroupKeys

    void TakeServerNotifications();
    bool IsOwnMapChange(const void* mapNotify) const;
    void EmitGroupKey(const GroupKey& key, bool press);

    struct DisplayCloser {
        void operator()(_XDisplay* d) const;
    };
    std::unique_ptr<_XDisplay, DisplayCloser> display_;
    int xkbEventBase_ = 0;
    unsigned numLockMask_ = 0;
    std::vector<KeyLayout> groups_; // empty: to be read again
    int activeGroup_ = 0;
    std::vector<GroupKey> groupKeys_;
    std::optional<KeyCodeLender> lender_; // after display_: gives back through it when going
};

} // namespace lantorvix
