#include "keys/send_keys.h"
#include "keys/win32/win32_keyboard.h"

#include <gtest/gtest.h>
#include <windows.h>
// The keyboard's member names, not windows.h's A/W functions.
#undef VkKeyScan
#undef MapVirtualKey

#include <string>
#include <vector>

namespace lantorvix {
namespace {

// A top-level window that collects the WM_CHAR characters it receives.
class CharWindow {
public:
    CharWindow()
    {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &CharWindow::Proc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "LantorvixTypingTarget";
        ::RegisterClassA(&wc);
        hwnd_ = ::CreateWindowExA(0, wc.lpszClassName, "typing target", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10,
                                  10, 300, 100, nullptr, nullptr, wc.hInstance, nullptr);
        ::SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        ::SetForegroundWindow(hwnd_);
        ::SetFocus(hwnd_);
    }
    ~CharWindow() { ::DestroyWindow(hwnd_); }
    CharWindow(const CharWindow&) = delete;
    CharWindow& operator=(const CharWindow&) = delete;

    HWND Handle() const { return hwnd_; }
    std::string text;

    // Runs the message loop until the predicate holds or the bound passes, waiting on the
    // queue rather than sleeping.
    template <typename Predicate> bool PumpUntil(Predicate done, DWORD boundMs = 10000)
    {
        const DWORD start = ::GetTickCount();
        for (;;) {
            MSG msg;
            while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
            if (done()) {
                return true;
            }
            const DWORD elapsed = ::GetTickCount() - start;
            if (elapsed >= boundMs) {
                return done();
            }
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, boundMs - elapsed, QS_ALLINPUT);
        }
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
    {
        auto* self = reinterpret_cast<CharWindow*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (msg == WM_CHAR && self != nullptr) {
            self->text += static_cast<char>(wp);
            return 0;
        }
        return ::DefWindowProcA(hwnd, msg, wp, lp);
    }

    HWND hwnd_ = nullptr;
};

struct TypingCase {
    const char* name;
    std::string keys;
    std::string chars; // the WM_CHAR text
    bool pump;
    friend void PrintTo(const TypingCase& c, std::ostream* os) { *os << c.name; }
};

class Win32Typing : public ::testing::TestWithParam<TypingCase> {};

TEST_P(Win32Typing, WindowReceivesTheCharacters)
{
    CharWindow window;
    ASSERT_TRUE(window.PumpUntil([&] { return ::GetFocus() == window.Handle(); }));
    std::vector<std::string> boxes;
    Win32Keyboard keyboard([&](std::string_view text, std::string_view caption) {
        EXPECT_EQ(caption, "SendKeys");
        boxes.emplace_back(text);
    });
    // "|" closes every case, so that the window has seen everything once it arrives.
    EXPECT_TRUE(SendKeys(keyboard, GetParam().keys + "|", GetParam().pump));
    const std::string expected = GetParam().chars + "|";
    window.PumpUntil([&] { return window.text.find('|') != std::string::npos; });
    EXPECT_EQ(window.text, expected);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(::GetKeyState(VK_SHIFT) & 0x8000, 0);
    EXPECT_EQ(::GetKeyState(VK_CONTROL) & 0x8000, 0);
    EXPECT_EQ(::GetKeyState(VK_MENU) & 0x8000, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Wine, Win32Typing,
    ::testing::Values(
        TypingCase{"Hello", "Hello, World!~", "Hello, World!\r", false},
        TypingCase{"HelloPumped", "Hello, World!~", "Hello, World!\r", true},
        TypingCase{"GroupsAndPrefixes", "+(abc)d+ef", "ABCdEf", true},
        TypingCase{"NamedKeysAndCounts", "{TAB 3}x{HOME}{LEFT 2}{BS}{ENTER}{ESC}", "\t\t\tx\b\r\x1b", true},
        // Wine finds "(" and ")" on the keypad's parenthesis keys of Xvfb's evdev map, which
        // have no virtual key there, so VkKeyScanA gives -1 for them under Wine only.
        TypingCase{"BracedCharacters", "{a 3}{{}{}}{+}{^}{%}{~}", "AAA{}+^%~", false},
        TypingCase{"Code", "5995001234567\t", "5995001234567\t", false},
        TypingCase{"Punctuation", "0123456789 -=[];',./\\`:\"<>?_", "0123456789 -=[];',./\\`:\"<>?_", true}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(Win32Keyboard, UntypeableCharacterShowsOneBoxAndTheRestArrives)
{
    CharWindow window;
    ASSERT_TRUE(window.PumpUntil([&] { return ::GetFocus() == window.Handle(); }));
    std::vector<std::string> boxes;
    Win32Keyboard keyboard([&](std::string_view text, std::string_view) { boxes.emplace_back(text); });
    ASSERT_EQ(keyboard.VkKeyScan(0xED), kNoKey) << "the US layout has no key for this character";
    EXPECT_TRUE(SendKeys(keyboard,
                         "a\xED"
                         "b|",
                         false));
    window.PumpUntil([&] { return window.text.find('|') != std::string::npos; });
    EXPECT_EQ(window.text, "ab|");
    EXPECT_EQ(boxes, std::vector<std::string>{"Invalid KeyName"});
}

TEST(Win32Keyboard, ScanCodesAndCharactersComeFromTheLayout)
{
    Win32Keyboard keyboard;
    EXPECT_EQ(keyboard.VkKeyScan('a'), 0x0041);
    EXPECT_EQ(keyboard.VkKeyScan('A'), 0x0141);
    EXPECT_EQ(keyboard.MapVirtualKey('A'), 0x1Eu);
    EXPECT_EQ(keyboard.MapVirtualKey(VK_RETURN), 0x1Cu);
}

TEST(Win32Keyboard, NumLockTogglesTheThreadKeyState)
{
    Win32Keyboard keyboard;
    const bool before = keyboard.IsNumLockOn();
    EXPECT_TRUE(SendKeys(keyboard, "{NUMLOCK}", false));
    EXPECT_NE(keyboard.IsNumLockOn(), before);
    EXPECT_TRUE(SendKeys(keyboard, "{NUMLOCK 3}", false));
    EXPECT_EQ(keyboard.IsNumLockOn(), before);
}

} // namespace
} // namespace lantorvix
