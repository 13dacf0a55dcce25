#include "keys/x11/spare_key_binder.h"

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

struct XFreeDeleter {
    void operator()(void* p) const { XFree(p); }
};
} // namespace

SpareKeyBinder::SpareKeyBinder(_XDisplay* display, std::string displayName,
                               std::chrono::milliseconds restoreDelay)
    : display_(display), displayName_(std::move(displayName)), restoreDelay_(restoreDelay),
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

void SpareKeyBinder::FindKeycodes(std::unique_lock<std::mutex>&)
{
    found_ = true;
    slots_.clear();
    int minKeycode = 0;
    int maxKeycode = 0;
    XDisplayKeycodes(display_, &minKeycode, &maxKeycode);
    minKeycode = std::max(minKeycode, 9); // key code 8 is evdev's KEY_RESERVED
    if (maxKeycode < minKeycode) {
        return;
    }
    const int count = maxKeycode - minKeycode + 1;
    std::unique_ptr<KeySym, XFreeDeleter> map(
        XGetKeyboardMapping(display_, static_cast<KeyCode>(minKeycode), count, &perKeycode_));
    std::unique_ptr<XModifierKeymap, decltype(&XFreeModifiermap)> modifiers(XGetModifierMapping(display_),
                                                                            &XFreeModifiermap);
    if (!map || perKeycode_ <= 0) {
        return;
    }
    const auto isModifier = [&](int kc) {
        if (!modifiers) {
            return false;
        }
        const int n = 8 * modifiers->max_keypermod;
        return std::find(modifiers->modifiermap, modifiers->modifiermap + n, kc) !=
               modifiers->modifiermap + n;
    };
    const auto row = [&](int kc) {
        const KeySym* first = map.get() + static_cast<std::ptrdiff_t>(kc - minKeycode) * perKeycode_;
        return std::vector<unsigned long>(first, first + perKeycode_);
    };
    // Unused key codes first, then vendor keys nobody is likely to press meanwhile.
    for (const bool spare : {true, false}) {
        for (int kc = maxKeycode; kc >= minKeycode && slots_.size() < kMaxSlots; --kc) {
            const auto syms = row(kc);
            const bool empty =
                std::all_of(syms.begin(), syms.end(), [](unsigned long s) { return s == NoSymbol; });
            const bool vendor = !empty && std::all_of(syms.begin(), syms.end(), [](unsigned long s) {
                return s == NoSymbol || IsVendorKeysym(s);
            });
            if ((spare ? empty : vendor) && !isModifier(kc)) {
                Slot slot;
                slot.keycode = static_cast<std::uint8_t>(kc);
                slot.original = syms;
                slots_.push_back(std::move(slot));
            }
        }
    }
}

std::optional<unsigned> SpareKeyBinder::Bind(unsigned long keysym)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (!found_) {
        FindKeycodes(lock);
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
            if (!found_) {
                FindKeycodes(lock);
            }
            if (slots_.empty()) {
                return std::nullopt;
            }
            pick = std::min_element(slots_.begin(), slots_.end(),
                                    [](const Slot& a, const Slot& b) { return a.lastUse < b.lastUse; });
        }
    }
    KeySym sym = keysym;
    XChangeKeyboardMapping(display_, pick->keycode, 1, &sym, 1);
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

void SpareKeyBinder::KeymapReplaced()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    slots_.clear();
    found_ = false;
}

void SpareKeyBinder::RestoreAll(_XDisplay* display)
{
    for (auto& slot : slots_) {
        if (slot.bound != 0) {
            std::vector<KeySym> row(slot.original.begin(), slot.original.end());
            XChangeKeyboardMapping(display, slot.keycode, perKeycode_, row.data(), 1);
            slot.bound = 0;
        }
    }
}

void SpareKeyBinder::RestoreLoop()
{
    std::unique_ptr<_XDisplay, decltype(&XCloseDisplay)> own(nullptr, &XCloseDisplay);
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
        const bool bound =
            std::any_of(slots_.begin(), slots_.end(), [](const Slot& s) { return s.bound != 0; });
        if (!bound || unsent_) {
            wake_.wait(lock);
            continue;
        }
        const auto due = lastUse_ + restoreDelay_;
        if (std::chrono::steady_clock::now() < due) {
            wake_.wait_until(lock, due);
            continue;
        }
        if (!own) {
            own.reset(XOpenDisplay(displayName_.c_str()));
            if (!own) {
                wake_.wait(lock); // restored by the destructor instead
                continue;
            }
        }
        RestoreAll(own.get());
        XSync(own.get(), False);
    }
}

} // namespace lantorvix
