#include "keys/uinput/uinput_keyboard.h"

#include <utility>

namespace lantorvix {

namespace {
constexpr std::uint16_t kKeyNumLock = 69;
}

UinputKeyboard::UinputKeyboard(UinputDevice device, KeyLayout layout, CodePage codePage,
                               MessageBoxHandler messageBox, std::function<void()> pump)
    : LinuxKeyboardBase(codePage, std::move(messageBox), std::move(pump)), device_(std::move(device)),
      layout_(std::move(layout))
{}

void UinputKeyboard::SetNumLockState(bool on)
{
    // The lock toggles on a press of the key.
    device_.Key(kKeyNumLock, true);
    device_.Key(kKeyNumLock, false);
    numLock_ = on;
}

} // namespace lantorvix
