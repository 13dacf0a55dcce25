#include "keys/x11/spare_key_binder.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <memory>
#include <utility>

namespace lantorvix {

namespace {
// More than one code holds distinct characters the layout lacks (ASCII on a Cyrillic group).
constexpr std::size_t kMaxSlots = 128;

bool IsVendorKeysym(KeySym sym)
{
    return sym >= 0x1008FF00 && sym <= 0x1008FFFF;
}

} // namespace

void SpareKeyBinder::DisplayCloser::operator()(_XDisplay* display) const
{
    XCloseDisplay(display);
}

SpareKeyBinder::SpareKeyBinder(_XDisplay* display, const std::string& displayName,
                               std::chrono::milliseconds restoreDelay)
    : display_(display), restoreDisplay_(XOpenDisplay(displayName.c_str())), restoreDelay_(restoreDelay),
      restorer_([this] { RestoreLoop(); })
{}

SpareKeyBinder::~SpareKeyBinder()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    restorer_.join();
    RestoreAll(display_);
    XSync(display_, False);
}

void SpareKeyBinder::KeyboardFree::operator()(_XkbDesc* xkb) const
{
    XkbFreeKeyboard(xkb, 0, True);
}

void SpareKeyBinder::Refresh(_XDisplay* display, bool findKeycodes)
{
    map_.reset(XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask | XkbKeyActionsMask | XkbModifierMapMask,
                         XkbUseCoreKbd));
    XkbDescPtr xkb = map_.get();
    const auto holds = [&](const Slot& slot) {
        const auto code = static_cast<KeyCode>(slot.keycode);
        const int n = xkb != nullptr && slot.keycode <= xkb->max_key_code ? XkbKeyNumSyms(xkb, code) : 0;
        const KeySym* syms = n > 0 ? XkbKeySymsPtr(xkb, code) : nullptr;
        return n > 0 &&
               std::all_of(syms, syms + n, [&](KeySym s) { return s == slot.bound || s == NoSymbol; });
    };
    for (auto& slot : slots_) {
        if (slot.bound != 0 && !holds(slot)) {
            slot.bound = 0; // the keymap it was lent from is gone
        }
    }
    if (!findKeycodes) {
        return;
    }
    rescan_ = false;
    slots_.erase(std::remove_if(slots_.begin(), slots_.end(), [](const Slot& s) { return s.bound == 0; }),
                 slots_.end());
    if (xkb == nullptr) {
        return;
    }
    const auto usable = [&](int kc, bool spare) {
        const auto code = static_cast<KeyCode>(kc);
        if (xkb->map->modmap[kc] != 0 || XkbKeyHasActions(xkb, code) ||
            std::any_of(slots_.begin(), slots_.end(), [&](const Slot& s) { return s.keycode == kc; })) {
            return false;
        }
        const int n = XkbKeyNumSyms(xkb, code);
        const KeySym* syms = XkbKeySymsPtr(xkb, code);
        if (spare) {
            return std::all_of(syms, syms + n, [](KeySym s) { return s == NoSymbol; });
        }
        return std::all_of(syms, syms + n, [](KeySym s) { return s == NoSymbol || IsVendorKeysym(s); }) &&
               std::any_of(syms, syms + n, [](KeySym s) { return s != NoSymbol; });
    };
    // Unused key codes first, then vendor keys nobody is likely to press meanwhile; key code
    // 8 is evdev's KEY_RESERVED.
    for (const bool spare : {true, false}) {
        for (int kc = xkb->max_key_code;
             kc >= std::max<int>(xkb->min_key_code, 9) && slots_.size() < kMaxSlots; --kc) {
            if (!usable(kc, spare)) {
                continue;
            }
            const XkbSymMapRec& m = xkb->map->key_sym_map[kc];
            Slot slot;
            slot.keycode = static_cast<std::uint8_t>(kc);
            std::copy(std::begin(m.kt_index), std::end(m.kt_index), slot.types.begin());
            slot.groupInfo = m.group_info;
            slot.width = m.width;
            const KeySym* syms = XkbKeySymsPtr(xkb, static_cast<KeyCode>(kc));
            slot.syms.assign(syms, syms + XkbKeyNumSyms(xkb, static_cast<KeyCode>(kc)));
            slots_.push_back(std::move(slot));
        }
    }
}

void SpareKeyBinder::Send(_XDisplay* display, const Slot& slot, unsigned long keysym)
{
    if (keysym != 0) {
        // Through the core request: every client, XKB-aware or not, is told to reload. The
        // keysym in both columns keeps it from becoming a lower/upper-case pair, so it types
        // itself whatever the modifiers and the active group.
        KeySym row[2] = {keysym, keysym};
        XChangeKeyboardMapping(display, slot.keycode, 2, row, 1);
        return;
    }
    // Back to the key code's own XKB binding, exactly as it was (the core request would
    // leave a key that had no group with one).
    XkbDescPtr xkb = map_.get();
    const auto code = static_cast<KeyCode>(slot.keycode);
    KeySym* syms = XkbResizeKeySyms(xkb, code, static_cast<int>(slot.syms.size()));
    if (syms == nullptr) {
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
    XkbChangeMap(display, xkb, &changes);
}

std::optional<unsigned> SpareKeyBinder::Bind(unsigned long keysym)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (rescan_) {
        Refresh(display_, true);
    }
    if (slots_.empty()) {
        return std::nullopt;
    }
    const auto now = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i].bound == keysym) {
            slots_[i].lastUse = lastUse_ = now;
            return static_cast<unsigned>(i);
        }
    }
    auto pick = std::find_if(slots_.begin(), slots_.end(), [](const Slot& s) { return s.bound == 0; });
    if (pick == slots_.end()) {
        pick = std::min_element(slots_.begin(), slots_.end(),
                                [](const Slot& a, const Slot& b) { return a.lastUse < b.lastUse; });
        const auto due = pick->lastUse + restoreDelay_;
        if (now < due) {
            // Every key code was used just now: a key typed with this one may still wait in
            // its client. Send what is queued and give it the delay.
            unsent_ = false;
            lock.unlock();
            XFlush(display_);
            std::this_thread::sleep_until(due);
            lock.lock();
            if (rescan_) {
                Refresh(display_, true);
            }
            if (slots_.empty()) {
                return std::nullopt;
            }
            pick = std::min_element(slots_.begin(), slots_.end(),
                                    [](const Slot& a, const Slot& b) { return a.lastUse < b.lastUse; });
        }
    }
    Send(display_, *pick, keysym);
    pick->bound = keysym;
    pick->lastUse = lastUse_ = std::chrono::steady_clock::now();
    unsent_ = true;
    return static_cast<unsigned>(pick - slots_.begin());
}

std::uint8_t SpareKeyBinder::Keycode(unsigned id) const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return id < slots_.size() ? slots_[id].keycode : 0;
}

bool SpareKeyBinder::Owns(int keycode) const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return std::any_of(slots_.begin(), slots_.end(), [&](const Slot& s) { return s.keycode == keycode; });
}

void SpareKeyBinder::Flushed()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!unsent_) {
            return;
        }
        unsent_ = false;
    }
    wake_.notify_all();
}

void SpareKeyBinder::KeymapChanged()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    rescan_ = true;
}

void SpareKeyBinder::RestoreAll(_XDisplay* display)
{
    if (std::none_of(slots_.begin(), slots_.end(), [](const Slot& s) { return s.bound != 0; })) {
        return;
    }
    // Only what the server still holds of ours goes back: never write over a new keymap.
    Refresh(display, false);
    for (auto& slot : slots_) {
        if (slot.bound != 0) {
            Send(display, slot, 0);
            slot.bound = 0;
        }
    }
}

void SpareKeyBinder::RestoreLoop()
{
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
        const bool bound =
            std::any_of(slots_.begin(), slots_.end(), [](const Slot& s) { return s.bound != 0; });
        if (!bound || unsent_ || !restoreDisplay_) {
            wake_.wait(lock); // without a connection of its own, the destructor restores
            continue;
        }
        const auto due = lastUse_ + restoreDelay_;
        if (std::chrono::steady_clock::now() < due) {
            wake_.wait_until(lock, due);
            continue;
        }
        RestoreAll(restoreDisplay_.get());
        XSync(restoreDisplay_.get(), False);
    }
}

} // namespace lantorvix
