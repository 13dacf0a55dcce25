#include "base/codepage.h"
#include "base/exception.h"
#include "keys/send_keys.h"
#include "keys/x11/xtest_keyboard.h"
#include "support/wait_until.h"
#include "support/x11_test_window.h"
#include "support/xvfb_server.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace lantorvix {
namespace {

using test::X11TestWindow;
using test::XvfbServer;

struct TypingCase {
    std::string name;
    std::string layout;
    std::string keys;  // cp1250
    std::string typed; // UTF-8 as the window records it
    std::vector<std::string> boxes = {};
    // Names the case in failure messages (the default dumps the bytes, padding included).
    friend void PrintTo(const TypingCase& c, std::ostream* os) { *os << c.name; }
};

// One server per layout for the whole suite: starting Xvfb is the slow part.
class XTestTyping : public ::testing::TestWithParam<TypingCase> {
protected:
    static void TearDownTestSuite() { servers_.clear(); }

    static XvfbServer& Server(const std::string& layout)
    {
        for (auto& [name, server] : servers_) {
            if (name == layout) {
                return *server;
            }
        }
        XvfbServer::Options options;
        options.layout = layout;
        servers_.emplace_back(layout, std::make_unique<XvfbServer>(options));
        return *servers_.back().second;
    }

    static inline std::vector<std::pair<std::string, std::unique_ptr<XvfbServer>>> servers_;
};

TEST_P(XTestTyping, FocusedWindowReceivesTheText)
{
    const auto& c = GetParam();
    XvfbServer& server = Server(c.layout);
    X11TestWindow window(server.Display());
    std::vector<std::string> boxes;
    XTestKeyboard keyboard(server.Display(), CodePage::cp1250,
                           [&](std::string_view text, std::string_view caption) {
                               EXPECT_EQ(caption, "SendKeys");
                               boxes.emplace_back(text);
                           },
                           {});
    EXPECT_TRUE(SendKeys(keyboard, c.keys, false));
    EXPECT_EQ(window.WaitForText(c.typed), c.typed);
    EXPECT_EQ(boxes, c.boxes);
    // Nothing is left down: a following plain key arrives plain.
    window.Clear();
    EXPECT_TRUE(SendKeys(keyboard, "a", false));
    EXPECT_EQ(window.WaitForText("a"), "a");
}

INSTANTIATE_TEST_SUITE_P(
    X11, XTestTyping,
    ::testing::Values(
        TypingCase{"UsHello", "us", "Hello, World!~", "Hello, World!\r"},
        TypingCase{"UsDigitsAndPunctuation", "us", "0123456789 -=[];',./\\`", "0123456789 -=[];',./\\`"},
        TypingCase{"UsShiftedPunctuation", "us", "{+}{^}{%}{~}{(}{)}:\"<>?|_", "+^%~():\"<>?|_"},
        TypingCase{"UsGroupsAndPrefixes", "us", "+(abc)d+ef", "ABCdEf"},
        TypingCase{"UsNamedKeysAndCounts", "us", "{TAB 3}x{HOME}{LEFT 2}{BS}{DEL}{ENTER}{ESC}",
                   "\t\t\tx<Home><Left><Left>\b<Delete>\r<Escape>"},
        TypingCase{"UsBracedCharacters", "us", "{a 3}{{}{}}", "AAA{}"},
        TypingCase{"UsCode", "us", "5995001234567\t", "5995001234567\t"},
        // 0x81 is no character in code page 1250; every other byte is.
        TypingCase{"UsUntypeableShownOnce",
                   "us",
                   "a\x81"
                   "b~",
                   "ab\r",
                   {"Invalid KeyName"}},
        TypingCase{"UsUnknownName", "us", "a{F17}b", "ab", {"Invalid Key Name"}},
        TypingCase{"HuLettersSwapped", "hu", "yzYZ", "yzYZ"},
        TypingCase{"HuDigitZero", "hu", "0123456789", "0123456789"},
        TypingCase{"HuAccentedFromCp1250", "hu", "\xED\xE1\xF5\xFB\xF6\xFC\xF3\xE9\xFA\xC9",
                   "\xC3\xAD\xC3\xA1\xC5\x91\xC5\xB1\xC3\xB6\xC3\xBC\xC3\xB3\xC3\xA9\xC3\xBA\xC3\x89"},
        TypingCase{"HuAltGrCharacters", "hu", "@{{}[]\\|\x80", "@\xC5\x90[]\\|\xE2\x82\xAC"},
        TypingCase{"HuHello", "hu", "Hello, World!~", "Hello, World!\r"},
        TypingCase{"HuUntypeableShownOnce",
                   "hu",
                   "y\x81"
                   "z",
                   "yz",
                   {"Invalid KeyName"}}),
    [](const auto& param) { return param.param.name; });

TEST(XTestKeyboard, NumLockNameTogglesTheServersNumLock)
{
    XvfbServer server;
    XTestKeyboard keyboard(server.Display(), CodePage::cp1252, {}, {});
    const bool before = keyboard.IsNumLockOn();
    EXPECT_TRUE(SendKeys(keyboard, "{NUMLOCK}", false));
    EXPECT_NE(keyboard.IsNumLockOn(), before);
    EXPECT_TRUE(SendKeys(keyboard, "{NUMLOCK 5}", false));
    EXPECT_EQ(keyboard.IsNumLockOn(), before);
}

TEST(XTestKeyboard, FollowsALayoutSwitchOnTheServer)
{
    XvfbServer server;
    X11TestWindow window(server.Display());
    XTestKeyboard keyboard(server.Display(), CodePage::cp1250, {}, {});
    EXPECT_TRUE(SendKeys(keyboard, "y", false));
    EXPECT_EQ(window.WaitForText("y"), "y");
    server.SetLayout("hu");
    window.Clear();
    // The map notification may still be on its way: the layout is re-read once it arrives.
    // Until then "í" is typed through a lent key code (a virtual key from 0xC3 on).
    ASSERT_TRUE(test::WaitUntil([&] {
        const ShiftedKey key = keyboard.VkKeyScan('\xED');
        return key != kNoKey && (VirtualKeyOf(key) < 0xC3 || VirtualKeyOf(key) > 0xDA);
    }));
    EXPECT_TRUE(SendKeys(keyboard, "y\xED", false));
    EXPECT_EQ(window.WaitForText("y\xC3\xAD"), "y\xC3\xAD");
}

TEST(XTestKeyboard, KeysLeftDownAreReleasedWhenTheKeyboardGoes)
{
    XvfbServer server;
    X11TestWindow window(server.Display());
    {
        XTestKeyboard keyboard(server.Display(), CodePage::cp1252, [](auto, auto) {}, {});
        EXPECT_TRUE(SendKeys(keyboard, "+(ab", false));     // the group never closes: Shift stays down
        EXPECT_FALSE(SendKeys(keyboard, "^{ENTER", false)); // "No Close": Ctrl stays down
        EXPECT_EQ(window.WaitForText("AB"), "AB");
    }
    window.Clear();
    XTestKeyboard next(server.Display(), CodePage::cp1252, {}, {});
    EXPECT_TRUE(SendKeys(next, "ab", false));
    EXPECT_EQ(window.WaitForText("ab"), "ab");
}

TEST(XTestKeyboard, UnreachableDisplayIsAnError)
{
    EXPECT_THROW(XTestKeyboard(":987654", CodePage::cp1252, {}, {}), Exception);
}

} // namespace
} // namespace lantorvix
