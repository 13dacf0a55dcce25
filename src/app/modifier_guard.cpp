#include "app/modifier_guard.h"

#include "keys/virtual_keys.h"

#include <algorithm>

namespace lantorvix {
namespace {

constexpr std::uint8_t kModifiers[] = {vk::kShift,    vk::kControl,  vk::kMenu,  vk::kLShift, vk::kRShift,
                                       vk::kLControl, vk::kRControl, vk::kLMenu, vk::kRMenu};

} // namespace

int ModifierGuard::ModifierSlot(std::uint8_t vk)
{
    const auto* it = std::find(std::begin(kModifiers), std::end(kModifiers), vk);
    return it == std::end(kModifiers) ? -1 : static_cast<int>(it - std::begin(kModifiers));
}

void ModifierGuard::KeyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags)
{
    inner_.KeyEvent(vk, scan, flags);
    if (const int slot = ModifierSlot(vk); slot >= 0) {
        const bool up = (flags & kKeyEventKeyUp) != 0;
        held_[static_cast<std::size_t>(slot)] = {!up, scan, flags & ~kKeyEventKeyUp};
    }
}

void ModifierGuard::ReleaseModifiers()
{
    for (std::size_t i = 0; i < held_.size(); ++i) {
        if (held_[i].down) {
            held_[i].down = false;
            inner_.KeyEvent(kModifiers[i], held_[i].scan, held_[i].flags | kKeyEventKeyUp);
        }
    }
}

bool ModifierGuard::AnyModifierDown() const
{
    return std::any_of(held_.begin(), held_.end(), [](const Held& h) { return h.down; });
}

} // namespace lantorvix
