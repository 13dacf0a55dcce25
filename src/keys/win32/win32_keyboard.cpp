#include "keys/win32/win32_keyboard.h"

#include <windows.h>
#undef VkKeyScan
#undef MapVirtualKey

#include <string>
#include <utility>

namespace lantorvix {

Win32Keyboard::Win32Keyboard(MessageBoxHandler messageBox) : messageBox_(std::move(messageBox)) {}

ShiftedKey Win32Keyboard::VkKeyScan(unsigned char ch)
{
    return static_cast<ShiftedKey>(::VkKeyScanA(static_cast<CHAR>(ch)));
}

std::uint32_t Win32Keyboard::MapVirtualKey(std::uint8_t vk)
{
    return ::MapVirtualKeyA(vk, 0);
}

void Win32Keyboard::KeyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags)
{
    ::keybd_event(vk, scan, flags, 0);
}

bool Win32Keyboard::IsNumLockOn()
{
    return (::GetKeyState(VK_NUMLOCK) & 1) != 0;
}

KeyStateTable Win32Keyboard::GetKeyboardState()
{
    BYTE state[256] = {};
    ::GetKeyboardState(state);
    KeyStateTable table{};
    for (std::size_t i = 0; i < table.size(); ++i) {
        table[i] = state[i];
    }
    return table;
}

void Win32Keyboard::SetKeyboardState(const KeyStateTable& table)
{
    BYTE state[256];
    for (std::size_t i = 0; i < table.size(); ++i) {
        state[i] = table[i];
    }
    ::SetKeyboardState(state);
}

void Win32Keyboard::PumpKeyboardMessages()
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0x100, 0x109, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

void Win32Keyboard::ShowMessageBox(std::string_view text, std::string_view caption)
{
    if (messageBox_) {
        messageBox_(text, caption);
        return;
    }
    ::MessageBoxA(nullptr, std::string(text).c_str(), std::string(caption).c_str(), MB_OK);
}

} // namespace lantorvix
