#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct _XDisplay;

namespace lantorvix {

// Lends key codes of the X server to keysyms that the active layout cannot type: a key code
// that no key uses (or, when there are too few, a vendor key such as XF86Launch1) is bound
// to the keysym for the moment and given back its own binding afterwards.
//
// The binding goes to the server on the typing connection ahead of the key events, so every
// client is told of the new map before the key arrives. A client looks the key up only when
// it handles the event, which may be a while later, so a binding is never changed while a
// key typed with it may still be waiting there: bindings stay (and serve as a cache for the
// next codes) until nothing has used them for `restoreDelay`, then a thread of this object
// restores them all through a connection of its own. A key code in use is only rebound to
// another keysym after that delay too.
//
// Thread safety: Bind, Keycode, Owns, Flushed and KeymapReplaced are called by the typing
// thread; the restoring thread is internal. Both sides hold one mutex.
class SpareKeyBinder {
public:
    SpareKeyBinder(_XDisplay* display, std::string displayName, std::chrono::milliseconds restoreDelay);
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
    // The server loaded a new keymap: the old bindings went with it.
    void KeymapReplaced();

private:
    struct Slot {
        std::uint8_t keycode = 0;
        std::vector<unsigned long> original; // the key code's own row of the core map
        unsigned long bound = 0;             // 0: has its own binding
        std::chrono::steady_clock::time_point lastUse{};
    };

    void FindKeycodes(std::unique_lock<std::mutex>& lock);
    void RestoreLoop();
    void RestoreAll(_XDisplay* display);

    _XDisplay* display_;
    std::string displayName_;
    std::chrono::milliseconds restoreDelay_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Slot> slots_;
    bool found_ = false;
    int perKeycode_ = 0;
    bool unsent_ = false; // a binding waits in the typing connection's buffer
    bool stop_ = false;
    std::chrono::steady_clock::time_point lastUse_{};
    std::thread restorer_;
};

} // namespace lantorvix
