// Key injection speed: key events per second delivered through XTest into a focused X
// window (checked: none lost or reordered), with one flush per code and with a flush after
// every event (as before); the time from SendKeys to the window per 13-digit code, both
// ways; the cost of a character typed through a lent key code or from another group; the
// cost of uinput's writes of at most 16 events; and the cost of the
// key-sequence language per code over a keyboard that only counts. Prints numbers; never
// fails on time.
#include "keys/linux/xkb_names_layout.h"
#include "keys/send_keys.h"
#include "keys/uinput/uinput_keyboard.h"
#include "keys/x11/xtest_keyboard.h"
#include "support/x11_test_window.h"
#include "support/xvfb_server.h"

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

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

const char* FlushName(bool flushEachEvent)
{
    return flushEachEvent ? "flush per event (before)" : "one flush per code (after)";
}

void XTestDelivery(const std::string& name, const std::string& keys, const std::string& expected, int events,
                   bool flushEachEvent)
{
    test::XvfbServer server;
    test::X11TestWindow window(server.Display());
    XTestKeyboard keyboard(server.Display(), CodePage::cp1252, {}, {});
    keyboard.SetFlushEachEvent(flushEachEvent);
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
        "keys XTest %s, %s: %d events injected in %.1f ms (%.0f events/s), delivered to the window in "
        "%.1f ms (%.0f events/s); %s\n",
        name.c_str(), FlushName(flushEachEvent), events, sendSeconds * 1e3, events / sendSeconds,
        totalSeconds * 1e3, events / totalSeconds,
        got == expected ? "all delivered in order" : "LOST OR REORDERED");
}

double Percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5)];
}

// Milliseconds from SendKeys to the whole code in the window, per code.
std::vector<double> CodeTimes(XTestKeyboard& keyboard, test::X11TestWindow& window,
                              const std::vector<std::pair<std::string, std::string>>& codes)
{
    std::vector<double> ms;
    for (const auto& [keys, typed] : codes) {
        window.Clear();
        const auto start = Clock::now();
        SendKeys(keyboard, keys, false);
        if (window.WaitForLength(typed.size(), std::chrono::seconds(10)) != typed) {
            std::printf("keys XTest code time: \"%s\" LOST OR GARBLED\n", typed.c_str());
        }
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return ms;
}

void PrintTimes(const char* what, const std::vector<double>& ms)
{
    std::printf("keys XTest %s: p50 %.3f ms, p99 %.3f ms over %zu codes\n", what, Percentile(ms, 0.5),
                Percentile(ms, 0.99), ms.size());
}

void CodeLatency()
{
    test::XvfbServer server;
    test::X11TestWindow window(server.Display());
    XTestKeyboard keyboard(server.Display(), CodePage::cp1252, {}, {});
    std::vector<std::pair<std::string, std::string>> plain;
    for (int i = 0; i < 500; ++i) {
        char code[16];
        std::snprintf(code, sizeof code, "9%012d", i);
        plain.emplace_back(std::string(code) + "~", std::string(code) + "\r");
    }
    CodeTimes(keyboard, window, {{"x", "x"}});
    for (const bool each : {true, false}) {
        keyboard.SetFlushEachEvent(each);
        const std::string what = std::string("13-digit code and Enter, ") + FlushName(each);
        PrintTimes(what.c_str(), CodeTimes(keyboard, window, plain));
    }
    // The last digit as a character the US layout lacks: once bound (kept while in use) and
    // bound anew for every code (a different character each time).
    std::vector<std::pair<std::string, std::string>> cached;
    std::vector<std::pair<std::string, std::string>> fresh;
    for (int i = 0; i < 200; ++i) {
        cached.emplace_back("599500123456\xE9~", "599500123456\xC3\xA9\r");
    }
    for (unsigned char c = 0xC0; c <= 0xFE; ++c) {
        if (c == 0xD7 || c == 0xF7) {
            continue; // the multiplication and division signs
        }
        const char32_t cp = c;
        std::string typed = "599500123456";
        typed += static_cast<char>(0xC0 | (cp >> 6));
        typed += static_cast<char>(0x80 | (cp & 0x3F));
        fresh.emplace_back("599500123456" + std::string(1, static_cast<char>(c)) + "~", typed + "\r");
    }
    // A long 2D code (a driver's licence PDF417 holds 400-700 characters, large symbols
    // thousands).
    std::string longCode;
    for (std::size_t i = 0; longCode.size() < 3000; ++i) {
        longCode += "ABCDEFGHIJ0123456789abcdefghij"[i % 30];
    }
    PrintTimes("3,000-character code and Enter",
               CodeTimes(keyboard, window, std::vector(20, std::pair(longCode + "~", longCode + "\r"))));
    PrintTimes("13-character code with a lent character, binding kept", CodeTimes(keyboard, window, cached));
    PrintTimes("13-character code with a lent character bound anew", CodeTimes(keyboard, window, fresh));
}

// A character the active group lacks and the other group has: typed with that group locked
// for the key alone.
void OtherGroupLatency()
{
    test::XvfbServer::Options options;
    options.layout = "us,ru";
    test::XvfbServer server(options);
    test::X11TestWindow window(server.Display());
    XTestKeyboard keyboard(server.Display(), CodePage::cp1251, {}, {});
    CodeTimes(keyboard, window, {{"x", "x"}});
    std::vector<std::pair<std::string, std::string>> digits;
    std::vector<std::pair<std::string, std::string>> cyrillic;
    for (int i = 0; i < 200; ++i) {
        digits.emplace_back("5995001234567~", "5995001234567\r");
        cyrillic.emplace_back("599500123456\xF4~", "599500123456\xD1\x84\r"); // ef, from group 2
    }
    PrintTimes("13-digit code on us,ru group 1", CodeTimes(keyboard, window, digits));
    PrintTimes("13-character code with a character from group 2", CodeTimes(keyboard, window, cyrillic));
}

// uinput: a 13-character code and Enter is 80 events, written 16 at a time.
void UinputWrites()
{
    const int fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    UinputKeyboard keyboard(UinputDevice::FromStream(fd),
                            KeyLayout(DescribeXkbLayout({"evdev", "pc105", "us", "", ""})), CodePage::cp1252,
                            {}, {});
    constexpr int kCodes = 20000;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kCodes; ++i) {
        SendKeys(keyboard, "ABCDEF1234567~", false);
    }
    const std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
    std::printf(
        "keys uinput 13-character code and Enter (80 events, writes of at most %zu): %.2f us per code\n",
        UinputDevice::kMaxEventsPerWrite, took.count() / kCodes);
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
    for (const bool each : {true, false}) {
        lantorvix::XTestDelivery("digits", digits, digits, 2 * 10000, each);
    }
    std::string mixed;
    for (int i = 0; i < 2500; ++i) {
        mixed += "aB3~";
    }
    std::string mixedText;
    for (int i = 0; i < 2500; ++i) {
        mixedText += "aB3\r";
    }
    for (const bool each : {true, false}) {
        lantorvix::XTestDelivery("mixed case and Enter", mixed, mixedText, 2500 * 10, each);
    }
    lantorvix::CodeLatency();
    lantorvix::OtherGroupLatency();
    lantorvix::UinputWrites();
    return 0;
}
