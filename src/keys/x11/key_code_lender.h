#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

struct _XDisplay;
struct _XkbDesc;

namespace lantorvix {

// Lends spare key codes of the X server (ones that carry no keysym, no action and no
// modifier, so no desktop can have grabbed them) to keysyms that no group of the layout has.
//
// A client looks a key up when it handles the event, against the map the server holds then,
// which for a busy client may be seconds later. So a lent key code keeps its keysym, with a
// stable keysym-to-code assignment, until the keymap changes or this object goes; only when
// more distinct keysyms are wanted than there are spare codes is the least recently used
// binding given to another keysym. Every binding is checked against what the server holds
// (not a cache) before it is used or given back: a binding someone else made is never used,
// overwritten or restored over, and the key code is not lent again. New bindings are made
// under a server grab, so two programs never take the same spare code.
//
// Thread safety: one thread (the typing one), on the typing connection.
class KeyCodeLender {
public:
    explicit KeyCodeLender(_XDisplay* display);
    // Gives back every binding the server still holds of ours.
    ~KeyCodeLender();
    KeyCodeLender(const KeyCodeLender&) = delete;
    KeyCodeLender& operator=(const KeyCodeLender&) = delete;

    // Starts the preparation of one key sequence: what the server holds on the lent codes
    // is read once, and no binding made for this sequence is given away during it.
    void BeginSequence();
    // The id of a key code that types `keysym` once the requests queued on the typing
    // connection reach the server; nothing when there is no spare key code.
    // `reuseThisSequence`: a binding already used in this sequence may be given to another
    // keysym (only while typing, never while preparing, where the earlier key is yet to come).
    std::optional<unsigned> Lend(unsigned long keysym, bool reuseThisSequence);
    std::uint8_t Keycode(unsigned id) const;
    // True for a key code this object lends (its map changes are our own).
    bool Owns(int keycode) const;
    // The server has a new keymap: the spare key codes are looked for again before the next
    // binding (bindings the server no longer holds are forgotten).
    void KeymapChanged() { rescan_ = true; }

private:
    struct Slot {
        std::uint8_t keycode = 0;
        // The key code's own XKB binding: types of its groups, group info, width, keysyms.
        std::array<unsigned char, 4> types{};
        unsigned char groupInfo = 0;
        unsigned char width = 0;
        std::vector<unsigned long> syms;
        unsigned long bound = 0; // 0: has its own binding
        std::uint64_t lastUse = 0;
        bool lost = false; // someone else bound it: never used or given back again
    };

    enum class Holds { own, ours, other };
    Holds ServerHolds(const Slot& slot) const;
    void ReadServerMap();
    void Verify();
    void FindSpareKeycodes();
    void Capture(Slot& slot) const; // takes the key code's own binding from the map
    Slot* Candidate(bool reuseThisSequence);
    bool Bind(Slot& slot, unsigned long keysym);
    void Send(const Slot& slot, unsigned long keysym);

    struct KeyboardFree {
        void operator()(_XkbDesc* xkb) const;
    };

    _XDisplay* display_;
    std::vector<Slot> slots_;
    std::unique_ptr<_XkbDesc, KeyboardFree> map_; // the server's key types and keysyms, as read
    bool rescan_ = true;
    bool verified_ = false;           // the server's map was read for the present sequence
    std::uint64_t clock_ = 0;         // counts Lend calls: the order of use
    std::uint64_t sequenceStart_ = 0; // the clock when the present sequence began
};

} // namespace lantorvix
