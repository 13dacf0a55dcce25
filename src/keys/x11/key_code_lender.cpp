#include "keys/x11/key_code_lender.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <utility>

namespace lantorvix {

namespace {
// Holds the server for the caller's check-then-change, so no other client's change (another
// instance taking the same spare code) falls in between.
class ServerGrab {
public:
    explicit ServerGrab(Display* display) : display_(display) { XGrabServer(display_); }
    ~ServerGrab() { XUngrabServer(display_); }
    ServerGrab(const ServerGrab&) = delete;
    ServerGrab& operator=(const ServerGrab&) = delete;

private:
    Display* display_;
};
} // namespace

void KeyCodeLender::KeyboardFree::operator()(_XkbDesc* xkb) const
{
    XkbFreeKeyboard(xkb, 0, True);
}

KeyCodeLender::KeyCodeLender(_XDisplay* display) : display_(display) {}

KeyCodeLender::~KeyCodeLender()
{
    if (std::none_of(slots_.begin(), slots_.end(), [](const Slot& s) { return s.bound != 0 && !s.lost; })) {
        return;
    }
    {
        const ServerGrab grab(display_);
        ReadServerMap();
        for (auto& slot : slots_) {
            if (!slot.lost && slot.bound != 0 && ServerHolds(slot) == Holds::ours) {
                Send(slot, 0);
            }
        }
    }
    XSync(display_, False);
}

void KeyCodeLender::ReadServerMap()
{
    map_.reset(XkbGetMap(display_, XkbKeyTypesMask | XkbKeySymsMask | XkbKeyActionsMask | XkbModifierMapMask,
                         XkbUseCoreKbd));
}

KeyCodeLender::Holds KeyCodeLender::ServerHolds(const Slot& slot) const
{
    XkbDescPtr xkb = map_.get();
    const auto code = static_cast<KeyCode>(slot.keycode);
    if (xkb == nullptr || slot.keycode > xkb->max_key_code || xkb->map->modmap[slot.keycode] != 0 ||
        XkbKeyHasActions(xkb, code)) {
        return Holds::other;
    }
    const int n = XkbKeyNumSyms(xkb, code);
    const KeySym* syms = XkbKeySymsPtr(xkb, code);
    if (std::all_of(syms, syms + n, [](KeySym s) { return s == NoSymbol; })) {
        return Holds::own;
    }
    const bool ours = slot.bound != 0 &&
                      std::all_of(syms, syms + n, [&](KeySym s) { return s == slot.bound || s == NoSymbol; });
    return ours ? Holds::ours : Holds::other;
}

void KeyCodeLender::Verify()
{
    ReadServerMap();
    for (auto& slot : slots_) {
        switch (ServerHolds(slot)) {
        case Holds::own:
            // The keymap it was lent in is gone, or its new owner let go: spare again.
            Capture(slot);
            slot.bound = 0;
            slot.lost = false;
            break;
        case Holds::ours:
            break;
        case Holds::other:
            slot.lost = true;
            slot.bound = 0;
            break;
        }
    }
    if (rescan_) {
        FindSpareKeycodes();
    }
}

void KeyCodeLender::FindSpareKeycodes()
{
    rescan_ = false;
    XkbDescPtr xkb = map_.get();
    if (xkb == nullptr) {
        return;
    }
    // Key code 8 is evdev's KEY_RESERVED.
    for (int kc = xkb->max_key_code; kc >= std::max<int>(xkb->min_key_code, 9); --kc) {
        if (std::any_of(slots_.begin(), slots_.end(), [&](const Slot& s) { return s.keycode == kc; })) {
            continue;
        }
        Slot slot;
        slot.keycode = static_cast<std::uint8_t>(kc);
        if (ServerHolds(slot) == Holds::own) {
            Capture(slot);
            slots_.push_back(std::move(slot));
        }
    }
}

void KeyCodeLender::Capture(Slot& slot) const
{
    XkbDescPtr xkb = map_.get();
    const auto code = static_cast<KeyCode>(slot.keycode);
    const XkbSymMapRec& m = xkb->map->key_sym_map[slot.keycode];
    std::copy(std::begin(m.kt_index), std::end(m.kt_index), slot.types.begin());
    slot.groupInfo = m.group_info;
    slot.width = m.width;
    const KeySym* syms = XkbKeySymsPtr(xkb, code);
    slot.syms.assign(syms, syms + XkbKeyNumSyms(xkb, code));
}

void KeyCodeLender::Send(const Slot& slot, unsigned long keysym)
{
    if (keysym != 0) {
        // Through the core request: every client, XKB-aware or not, is told to reload. The
        // keysym in both columns keeps it from becoming a lower/upper-case pair, so it types
        // itself whatever the modifiers and the active group.
        KeySym row[2] = {keysym, keysym};
        XChangeKeyboardMapping(display_, slot.keycode, 2, row, 1);
        return;
    }
    // Back to the key code's own XKB binding, exactly as it was (the core request would
    // leave a key that had no group with one).
    XkbDescPtr xkb = map_.get();
    const auto code = static_cast<KeyCode>(slot.keycode);
    KeySym* syms = XkbResizeKeySyms(xkb, code, static_cast<int>(slot.syms.size()));
    if (syms == nullptr && !slot.syms.empty()) {
        return;
    }
    XkbSymMapRec& m = xkb->map->key_sym_map[slot.keycode];
    std::copy(slot.types.begin(), slot.types.end(), std::begin(m.kt_index));
    m.group_info = slot.groupInfo;
    m.width = slot.width;
    std::copy(slot.syms.begin(), slot.syms.end(), syms);
    XkbMapChangesRec changes{};
    changes.changed = XkbKeySymsMask;
    changes.first_key_sym = code;
    changes.num_key_syms = 1;
    XkbChangeMap(display_, xkb, &changes);
}

void KeyCodeLender::BeginSequence()
{
    sequenceStart_ = ++clock_;
    verified_ = false;
}

KeyCodeLender::Slot* KeyCodeLender::Candidate(bool reuseThisSequence)
{
    Slot* best = nullptr;
    for (auto& slot : slots_) {
        if (slot.lost || (!reuseThisSequence && slot.lastUse >= sequenceStart_)) {
            continue;
        }
        if (slot.bound == 0) {
            return &slot;
        }
        if (best == nullptr || slot.lastUse < best->lastUse) {
            best = &slot;
        }
    }
    return best;
}

bool KeyCodeLender::Bind(Slot& slot, unsigned long keysym)
{
    const ServerGrab grab(display_);
    ReadServerMap();
    const Holds holds = ServerHolds(slot);
    if (holds == Holds::other) {
        slot.lost = true;
        slot.bound = 0;
        return false;
    }
    if (holds == Holds::own) {
        slot.bound = 0;
    }
    Send(slot, keysym);
    slot.bound = keysym;
    return true;
}

std::optional<unsigned> KeyCodeLender::Lend(unsigned long keysym, bool reuseThisSequence)
{
    if (!verified_ || rescan_) {
        Verify();
        verified_ = true;
    }
    ++clock_;
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        if (!slots_[i].lost && slots_[i].bound == keysym) {
            slots_[i].lastUse = clock_;
            return static_cast<unsigned>(i);
        }
    }
    while (Slot* slot = Candidate(reuseThisSequence)) {
        if (slot->lastUse >= sequenceStart_) {
            // A key of this sequence typed with it is already on its way: let the server
            // take it before the binding changes.
            XSync(display_, False);
        }
        if (Bind(*slot, keysym)) {
            slot->lastUse = clock_;
            return static_cast<unsigned>(slot - slots_.data());
        }
    }
    return std::nullopt;
}

std::uint8_t KeyCodeLender::Keycode(unsigned id) const
{
    return id < slots_.size() ? slots_[id].keycode : 0;
}

bool KeyCodeLender::Owns(int keycode) const
{
    return std::any_of(slots_.begin(), slots_.end(),
                       [&](const Slot& s) { return s.keycode == keycode && !s.lost; });
}

} // namespace lantorvix
