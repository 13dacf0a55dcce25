#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct _XDisplay;
struct _XkbDesc;

namespace lantorvix {

// Lends key codes of the X server to keysyms that the active layout cannot type: a key code
// that no key uses (or, when there are too few, a vendor key such as XF86Launch1) is bound
// to the keysym for the moment and given back its own binding afterwards.
//
// The binding goes to the server on the typing connection ahead of the key events (the
// caller binds what a whole key sequence needs before its first key event), so every client
// is told of the new map before the key arrives. A client looks the key up only when
// it handles the event, which may be a while later, so a binding is never changed while a
// key typed with it may still be waiting there: bindings stay (and serve as a cache for the
// next codes) until nothing has used them for `restoreDelay`, then a thread of this object
// restores them all through a connection of its own. A key code in use is only rebound to
// another keysym after that delay too.
//
// Thread safety: Bind, Keycode, Owns, Flushed and KeymapChanged are called by the typing
// thread; the restoring thread is internal and only uses its own connection (opened and
// closed by the typing thread: Xlib's list of connections is not locked). Both sides hold
// one mutex.
class SpareKeyBinder {
public:
    // `displayName`: for the restoring thread's own connection.
    SpareKeyBinder(_XDisplay* display, const std::string& displayName,
                   std::chrono::milliseconds restoreDelay);
    // Restores what is still bound (through the typing connection, which outlives this).
    ~SpareKeyBinder();
    SpareKeyBinder(const SpareKeyBinder&) = delete;
    SpareKeyBinder& operator=(const SpareKeyBinder&) = delete;

    // The id of a key code that types `keysym` once the requests queued on the typing
    // connection reach the server; nothing when there is no key code to lend.
    std::optional<unsigned> Bind(unsigned long keysym);
    std::uint8_t Keycode(unsigned id) const;
    // True for a key code this object lends (its map changes are our own).
    bool Owns(int keycode) const;
    // The typing connection has sent its queued requests: restoring may begin.
    void Flushed();
    // The server reported a new keymap or a map change not of ours (a layout switch, the
    // core keyboard taking another device's map): bindings it no longer holds are forgotten
    // and the spare key codes are looked for again, before the next binding or restore.
    void KeymapChanged();

private:
    struct Slot {
        std::uint8_t keycode = 0;
        // The key code's own XKB binding: types of its groups, group info, width, keysyms.
        std::array<unsigned char, 4> types{};
        unsigned char groupInfo = 0;
        unsigned char width = 0;
        std::vector<unsigned long> syms;
        unsigned long bound = 0; // 0: has its own binding
        std::chrono::steady_clock::time_point lastUse{};
    };

    // Reads the server's map through `display`, forgets bindings it no longer holds and, when
    // asked to, looks for spare key codes in it.
    void Refresh(_XDisplay* display, bool findKeycodes);
    void Send(_XDisplay* display, const Slot& slot, unsigned long keysym);
    void RestoreLoop();
    void RestoreAll(_XDisplay* display);

    struct KeyboardFree {
        void operator()(_XkbDesc* xkb) const;
    };

    struct DisplayCloser {
        void operator()(_XDisplay* display) const;
    };

    _XDisplay* display_;
    std::unique_ptr<_XDisplay, DisplayCloser> restoreDisplay_; // the restoring thread's
    std::chrono::milliseconds restoreDelay_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Slot> slots_;
    std::unique_ptr<_XkbDesc, KeyboardFree> map_; // the server's key types and keysyms, as found
    bool rescan_ = true;                          // the spare key codes have to be looked for
    bool unsent_ = false;                         // a binding waits in the typing connection's buffer
    bool stop_ = false;
    std::chrono::steady_clock::time_point lastUse_{};
    std::thread restorer_;
};

} // namespace lantorvix
