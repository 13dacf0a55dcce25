// Key injection speed: key events per second delivered through XTest into a focused X
// window (checked: none lost or reordered), and the cost of the key-sequence language per
// 13-digit code over a keyboard that only counts. Prints numbers; never fails on time.
#include "keys/send_keys.h"
#include "keys/x11/xtest_keyboard.h"
#include "support/x11_test_window.h"
#include "support/xvfb_server.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace lantorvix {
namespace {

using Clock = std::chrono::steady_clock;

// The cheapest KeyboardPlatform: a US table and a counter, so that the language is measured.
class CountingKeyboard : public KeyboardPlatform {
public:
    CountingKeyboard()
    {
        keys_.fill(kNoKey);
        for (int d = 0; d < 10; ++d) {
            keys_['0' + d] = static_cast<ShiftedKey>('0' + d);
        }
        keys_['\t'] = 9;
    }
    ShiftedKey VkKeyScan(unsigned char ch) override { return keys_[ch]; }
    std::uint32_t MapVirtualKey(std::uint8_t vk) override { return vk; }
    void KeyEvent(std::uint8_t, std::uint8_t, std::uint32_t) override { ++events; }
    bool IsNumLockOn() override { return false; }
    KeyStateTable GetKeyboardState() override { return {}; }
    void SetKeyboardState(const KeyStateTable&) override {}
    void PumpKeyboardMessages() override {}
    void ShowMessageBox(std::string_view, std::string_view) override {}

    std::uint64_t events = 0;

private:
    std::array<ShiftedKey, 256> keys_{};
};

void CoreCost()
{
    CountingKeyboard keyboard;
    const std::string code = "5995001234567~";
    constexpr int kRounds = 200000;
    for (int i = 0; i < 1000; ++i) {
        SendKeys(keyboard, code, false);
    }
    const auto start = Clock::now();
    for (int i = 0; i < kRounds; ++i) {
        SendKeys(keyboard, code, false);
    }
    const double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count() / kRounds;
    std::printf("keys core: %.0f ns per 13-digit code with Enter (%llu key events counted; goal < 2000 ns)\n",
                ns, static_cast<unsigned long long>(keyboard.events));
}

void XTestDelivery(const std::string& name, const std::string& keys, const std::string& expected, int events)
{
    test::XvfbServer server;
    test::X11TestWindow window(server.Display());
    XTestKeyboard keyboard(server.Display(), CodePage::cp1252, {}, {});
    SendKeys(keyboard, "x", false); // layout read and connection warm
    window.WaitForText("x");
    window.Clear();

    const auto start = Clock::now();
    SendKeys(keyboard, keys, false);
    const auto sent = Clock::now();
    const std::string got = window.WaitForLength(expected.size(), std::chrono::seconds(60));
    const auto delivered = Clock::now();
    const double sendSeconds = std::chrono::duration<double>(sent - start).count();
    const double totalSeconds = std::chrono::duration<double>(delivered - start).count();
    std::printf(
        "keys XTest %s: %d events injected in %.1f ms (%.0f events/s), delivered to the window in %.1f ms "
        "(%.0f events/s); %s (goal >= 20000 events/s)\n",
        name.c_str(), events, sendSeconds * 1e3, events / sendSeconds, totalSeconds * 1e3,
        events / totalSeconds, got == expected ? "all delivered in order" : "LOST OR REORDERED");
}

} // namespace
} // namespace lantorvix

int main()
{
    lantorvix::CoreCost();
    std::string digits;
    for (int i = 0; i < 10000; ++i) {
        digits += static_cast<char>('0' + i % 10);
    }
    lantorvix::XTestDelivery("digits", digits, digits, 2 * 10000);
    std::string mixed;
    for (int i = 0; i < 2500; ++i) {
        mixed += "aB3~";
    }
    std::string mixedText;
    for (int i = 0; i < 2500; ++i) {
        mixedText += "aB3\r";
    }
    lantorvix::XTestDelivery("mixed case and Enter", mixed, mixedText, 2500 * 10);
    return 0;
}
