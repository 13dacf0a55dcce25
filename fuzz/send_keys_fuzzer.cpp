// The key-sequence language on arbitrary text over a counting keyboard with the US layout.
// Every key released must have been pressed before: a release of a key that is not down
// would be a stray event in the user's input stream.
#include "base/exception.h"
#include "keys/keyboard_platform.h"
#include "keys/send_keys.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace lantorvix;

namespace {

class CountingKeyboard : public KeyboardPlatform {
public:
    std::array<long, 256> down{};
    KeyStateTable state{};

    ShiftedKey VkKeyScan(unsigned char ch) override
    {
        if (ch >= 'a' && ch <= 'z') {
            return static_cast<ShiftedKey>(ch - 'a' + 'A');
        }
        if (ch >= 'A' && ch <= 'Z') {
            return static_cast<ShiftedKey>(0x100 | ch);
        }
        if (ch >= '0' && ch <= '9') {
            return ch;
        }
        switch (ch) {
        case ' ': return 0x20;
        case '\t': return 0x09;
        case '\r': return 0x0D;
        case '+': return 0x1BB;
        case '~': return 0x1C0;
        case '{': return 0x1DB;
        case '}': return 0x1DD;
        case '(': return 0x139;
        case ')': return 0x130;
        case '^': return 0x136;
        case '%': return 0x135;
        case 0xE9: return 0x6FF; // a character that needs Shift, Ctrl and Alt
        default: return kNoKey;
        }
    }
    std::uint32_t MapVirtualKey(std::uint8_t vk) override { return vk; }
    void KeyEvent(std::uint8_t vk, std::uint8_t, std::uint32_t flags) override
    {
        if ((flags & kKeyEventKeyUp) != 0) {
            if (--down[vk] < 0) {
                std::abort();
            }
        } else {
            ++down[vk];
        }
    }
    bool IsNumLockOn() override { return (state[0x90] & 1) != 0; }
    KeyStateTable GetKeyboardState() override { return state; }
    void SetKeyboardState(const KeyStateTable& table) override { state = table; }
    void PumpKeyboardMessages() override {}
    void ShowMessageBox(std::string_view, std::string_view) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CountingKeyboard keyboard;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const bool result = SendKeys(keyboard, text, size % 2 == 0);
        if (result && (text.empty() || text.front() == '\0')) {
            std::abort(); // nothing was read, so nothing can have succeeded
        }
    } catch (const EConvertError&) {
        // a braced count that is not an integer: reported to the caller by design
    }
    return 0;
}
