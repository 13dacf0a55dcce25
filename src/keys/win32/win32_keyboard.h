#pragma once

#include "keys/keyboard_platform.h"

namespace lantorvix {

// The system keyboard through user32: keybd_event, VkKeyScanA, MapVirtualKeyA, the calling
// thread's key state and message queue, MessageBoxA. The key-state table and the message
// pump belong to the calling thread, so an instance is used on the thread that types.
class Win32Keyboard : public KeyboardPlatform {
public:
    // messageBox, when set, shows the "SendKeys" boxes instead of MessageBoxA.
    explicit Win32Keyboard(MessageBoxHandler messageBox = {});

    ShiftedKey VkKeyScan(unsigned char ch) override;
    std::uint32_t MapVirtualKey(std::uint8_t vk) override;
    void KeyEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override;
    bool IsNumLockOn() override;
    KeyStateTable GetKeyboardState() override;
    void SetKeyboardState(const KeyStateTable& table) override;
    void PumpKeyboardMessages() override;
    void ShowMessageBox(std::string_view text, std::string_view caption) override;

private:
    MessageBoxHandler messageBox_;
};

} // namespace lantorvix
