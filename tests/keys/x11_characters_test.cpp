// Characters the active layout or group lacks, or has only as dead keys, typed through XTest
// on a real server whose layout was switched (and read back) first.
#include "base/codepage.h"
#include "keys/send_keys.h"
#include "keys/x11/xtest_keyboard.h"
#include "support/wait_until.h"
#include "support/x11_test_window.h"
#include "support/xvfb_server.h"

#include <gtest/gtest.h>

// After GoogleTest: Xlib's macros (None, Bool ...) clash with its names.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace lantorvix {
namespace {

using test::X11TestWindow;
using test::XvfbServer;

// Every printable ASCII character that is not a key-sequence command, then the commands'
// characters in their braced form.
std::string AsciiKeys()
{
    std::string keys;
    for (char c = ' '; c <= '~'; ++c) {
        if (std::string_view("+^%()~{").find(c) == std::string_view::npos) {
            keys += c;
        }
    }
    return keys + "{+}{^}{%}{~}{(}{)}";
}

std::string AsciiTyped()
{
    std::string typed;
    for (char c = ' '; c <= '~'; ++c) {
        if (std::string_view("+^%()~{").find(c) == std::string_view::npos) {
            typed += c;
        }
    }
    return typed + "+^%~()";
}

struct Connection {
    explicit Connection(const std::string& name) : display(XOpenDisplay(name.c_str())) {}
    ~Connection() { XCloseDisplay(display); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    Display* display;
};

// The whole keyboard map as clients see it: the core rows and every key's XKB groups, types
// and keysyms.
std::vector<unsigned long> Keymap(const std::string& name)
{
    const Connection c(name);
    std::vector<unsigned long> out;
    int minKc = 0;
    int maxKc = 0;
    XDisplayKeycodes(c.display, &minKc, &maxKc);
    int per = 0;
    KeySym* core = XGetKeyboardMapping(c.display, static_cast<KeyCode>(minKc), maxKc - minKc + 1, &per);
    out.assign(core, core + static_cast<std::ptrdiff_t>(maxKc - minKc + 1) * per);
    XFree(core);
    XkbDescPtr xkb = XkbGetMap(c.display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    for (int kc = minKc; kc <= maxKc; ++kc) {
        const XkbSymMapRec& m = xkb->map->key_sym_map[kc];
        out.insert(out.end(),
                   {m.group_info, m.width, m.kt_index[0], m.kt_index[1], m.kt_index[2], m.kt_index[3]});
        const KeySym* syms = XkbKeySymsPtr(xkb, kc);
        out.insert(out.end(), syms, syms + XkbKeyNumSyms(xkb, kc));
    }
    XkbFreeKeyboard(xkb, 0, True);
    return out;
}

// Takes every key code that has no keysym, so that none is spare.
void UseEveryUnusedKeycode(const std::string& name)
{
    const Connection c(name);
    int minKc = 0;
    int maxKc = 0;
    XDisplayKeycodes(c.display, &minKc, &maxKc);
    int per = 0;
    KeySym* core = XGetKeyboardMapping(c.display, static_cast<KeyCode>(minKc), maxKc - minKc + 1, &per);
    for (int kc = minKc; kc <= maxKc; ++kc) {
        const KeySym* row = core + static_cast<std::ptrdiff_t>(kc - minKc) * per;
        if (std::all_of(row, row + per, [](KeySym s) { return s == NoSymbol; })) {
            KeySym undo = XK_Undo;
            XChangeKeyboardMapping(c.display, kc, 1, &undo, 1);
        }
    }
    XFree(core);
    XSync(c.display, False);
}

std::string LatinLetters()
{
    std::string letters;
    for (char c = 'a'; c <= 'z'; ++c) {
        letters += c;
        letters += static_cast<char>(c - 'a' + 'A');
    }
    return letters;
}

struct CharacterCase {
    std::string name;
    std::string layout;
    int group;
    CodePage codePage;
    std::string keys;
    std::string typed; // UTF-8
    bool noSpareKeycode = false;
    std::vector<std::string> boxes = {};
    // The receiver is busy (reads nothing) for a while after the code has been sent: it looks
    // each key up only then, against the map the server holds at that time.
    bool busyReceiver = false;
    friend void PrintTo(const CharacterCase& c, std::ostream* os) { *os << c.name; }
};

class X11Characters : public ::testing::TestWithParam<CharacterCase> {
protected:
    static void TearDownTestSuite() { servers_.clear(); }

    // One server per layout for the suite (the layout is proven by SetLayout).
    static XvfbServer& Server(const std::string& key, const std::string& layout)
    {
        for (auto& [name, server] : servers_) {
            if (name == key) {
                return *server;
            }
        }
        XvfbServer::Options options;
        options.layout = layout;
        servers_.emplace_back(key, std::make_unique<XvfbServer>(options));
        return *servers_.back().second;
    }

    static inline std::vector<std::pair<std::string, std::unique_ptr<XvfbServer>>> servers_;
};

TEST_P(X11Characters, ArriveExactlyAndTheKeymapIsRestored)
{
    const auto& c = GetParam();
    XvfbServer& server = Server(c.layout + (c.noSpareKeycode ? "/full" : ""), c.layout);
    if (c.noSpareKeycode) {
        UseEveryUnusedKeycode(server.Display());
    }
    server.LockGroup(c.group);
    X11TestWindow window(server.Display());
    const auto before = Keymap(server.Display());
    std::vector<std::string> boxes;
    {
        XTestKeyboard keyboard(server.Display(), c.codePage,
                               [&](std::string_view text, std::string_view) { boxes.emplace_back(text); },
                               {});
        EXPECT_TRUE(SendKeys(keyboard, c.keys, false));
        if (c.busyReceiver) {
            std::this_thread::sleep_for(std::chrono::seconds(2)); // the busy time is the scene itself
        }
        EXPECT_EQ(window.WaitForText(c.typed), c.typed);
        EXPECT_EQ(boxes, c.boxes);
    } // lent key codes get their own bindings back
    const auto after = Keymap(server.Display());
    const auto diff = std::mismatch(before.begin(), before.end(), after.begin(), after.end());
    EXPECT_EQ(after, before) << "first difference at " << (diff.first - before.begin());
}

// cp1252: \xE9 é, \xF1 ñ, \xFC ü, \xDF ß; cp1250: \xF5 ő, \xFB ű.
const std::string kWestern = "\xE9 \xF1 \xFC \xDF{\xE9}";
const std::string kWesternTyped = "\xC3\xA9 \xC3\xB1 \xC3\xBC \xC3\x9F\xC3\xA9";

INSTANTIATE_TEST_SUITE_P(
    X11, X11Characters,
    ::testing::Values(
        CharacterCase{"AsciiUs", "us", 0, CodePage::cp1252, AsciiKeys(), AsciiTyped()},
        CharacterCase{"AsciiHu", "hu", 0, CodePage::cp1250, AsciiKeys(), AsciiTyped()},
        CharacterCase{"AsciiDe", "de", 0, CodePage::cp1252, AsciiKeys(), AsciiTyped()},
        CharacterCase{"AsciiFr", "fr", 0, CodePage::cp1252, AsciiKeys(), AsciiTyped()},
        CharacterCase{"AsciiUsRuFirstGroup", "us,ru", 0, CodePage::cp1251, AsciiKeys(), AsciiTyped()},
        CharacterCase{"AsciiUsRuSecondGroup", "us,ru", 1, CodePage::cp1251, AsciiKeys(), AsciiTyped()},
        CharacterCase{"AsciiHuUsFirstGroup", "hu,us", 0, CodePage::cp1250, AsciiKeys(), AsciiTyped()},
        CharacterCase{"AsciiHuUsSecondGroup", "hu,us", 1, CodePage::cp1250, AsciiKeys(), AsciiTyped()},
        CharacterCase{"AsciiFrDeFirstGroup", "fr,de", 0, CodePage::cp1252, AsciiKeys(), AsciiTyped()},
        CharacterCase{"AsciiFrDeSecondGroup", "fr,de", 1, CodePage::cp1252, AsciiKeys(), AsciiTyped()},
        CharacterCase{"GraveAfterBackslashDe", "de", 0, CodePage::cp1252, "\\`{`}", "\\``"},
        CharacterCase{"WesternUs", "us", 0, CodePage::cp1252, kWestern, kWesternTyped},
        CharacterCase{"WesternDe", "de", 0, CodePage::cp1252, kWestern, kWesternTyped},
        CharacterCase{"WesternFr", "fr", 0, CodePage::cp1252, kWestern, kWesternTyped},
        CharacterCase{"CentralEuropeanUs", "us", 0, CodePage::cp1250, "\xF5\xFB\xF5",
                      "\xC5\x91\xC5\xB1\xC5\x91"},
        // Vendor keys are never lent (a desktop may grab them): without a spare key code the
        // characters no group has cannot be typed.
        CharacterCase{"WesternUsWithoutSpareKeycode",
                      "us",
                      0,
                      CodePage::cp1252,
                      kWestern,
                      "   ",
                      true,
                      {"Invalid KeyName", "Invalid KeyName", "Invalid KeyName", "Invalid KeyName"}},
        CharacterCase{.name = "WesternUsBusyReceiver",
                      .layout = "us",
                      .group = 0,
                      .codePage = CodePage::cp1252,
                      .keys = "caf\xE9 na\xEFve",
                      .typed = "caf\xC3\xA9 na\xC3\xAFve",
                      .busyReceiver = true},
        CharacterCase{.name = "LatinOnUsRuSecondGroupBusyReceiver",
                      .layout = "us,ru",
                      .group = 1,
                      .codePage = CodePage::cp1251,
                      .keys = LatinLetters(),
                      .typed = LatinLetters(),
                      .busyReceiver = true}),
    [](const auto& param) { return param.param.name; });

bool IsOwnKey(ShiftedKey key)
{
    const std::uint8_t vk = VirtualKeyOf(key);
    return key != kNoKey && (vk < 0xC3 || vk > 0xDA); // not one of the remapped characters' keys
}

TEST(X11Characters, AGroupSwitchBetweenCodesIsFollowed)
{
    XvfbServer::Options options;
    options.layout = "us,ru";
    XvfbServer server(options);
    X11TestWindow window(server.Display());
    XTestKeyboard keyboard(server.Display(), CodePage::cp1251, {}, {});
    // \xF4 is the Cyrillic ef, on the A key of the second group.
    EXPECT_TRUE(SendKeys(keyboard, "a\xF4", false));
    EXPECT_EQ(window.WaitForText("a\xD1\x84"), "a\xD1\x84");
    server.LockGroup(1);
    window.Clear();
    // The state notification may still be on its way.
    ASSERT_TRUE(test::WaitUntil([&] { return IsOwnKey(keyboard.VkKeyScan('\xF4')); }));
    EXPECT_TRUE(SendKeys(keyboard, "a\xF4", false));
    EXPECT_EQ(window.WaitForText("a\xD1\x84"), "a\xD1\x84");
}

TEST(X11Characters, KeyNamesLendNoKeycode)
{
    XvfbServer::Options options;
    options.layout = "us,ru";
    XvfbServer server(options);
    server.LockGroup(1); // no Latin letters on this group
    X11TestWindow window(server.Display());
    const auto before = Keymap(server.Display());
    XTestKeyboard keyboard(server.Display(), CodePage::cp1251, {}, {});
    EXPECT_TRUE(SendKeys(keyboard, "5{TAB}{ENTER}{BS 2}", false));
    EXPECT_EQ(window.WaitForText("5\t\r\b\b"), "5\t\r\b\b");
    EXPECT_EQ(Keymap(server.Display()), before);
}

KeySym FirstKeysym(const std::string& display, int keycode)
{
    const Connection c(display);
    int per = 0;
    KeySym* row = XGetKeyboardMapping(c.display, static_cast<KeyCode>(keycode), 1, &per);
    const KeySym sym = per > 0 ? row[0] : NoSymbol;
    XFree(row);
    return sym;
}

// The user binds a spare key code, one this program has lent or might lend next, as with
// "xmodmap -e 'keycode 248 = F13'", while the program runs: that binding is neither used,
// overwritten nor erased, while typing, in the idle time after it, or when the keyboard goes.
TEST(X11Characters, AUsersBindingOnASpareKeyCodeIsLeftAlone)
{
    XvfbServer server;
    X11TestWindow window(server.Display());
    std::vector<int> taken;
    {
        XTestKeyboard keyboard(server.Display(), CodePage::cp1252, {}, {});
        EXPECT_TRUE(SendKeys(keyboard, "\xE9", false));
        EXPECT_EQ(window.WaitForText("\xC3\xA9"), "\xC3\xA9");
        for (int kc = 255; kc >= 8 && taken.size() < 2; --kc) {
            const KeySym sym = FirstKeysym(server.Display(), kc);
            if (sym == XK_eacute || (sym == NoSymbol && !taken.empty())) {
                taken.push_back(kc); // the lent one, then the next spare one below it
            }
        }
        ASSERT_EQ(taken.size(), 2u);
        for (const int kc : taken) {
            ASSERT_EQ(test::RunProgram({"xmodmap", "-display", server.Display(), "-e",
                                        "keycode " + std::to_string(kc) + " = F13"}),
                      0);
        }
        const auto usersBindingGone = [&] {
            return std::any_of(taken.begin(), taken.end(), [&](int kc) {
                return FirstKeysym(server.Display(), kc) != static_cast<KeySym>(XK_F13);
            });
        };
        for (int round = 0; round < 2; ++round) {
            window.Clear();
            EXPECT_TRUE(SendKeys(keyboard, "\xE9\xF1\xE9", false));
            EXPECT_EQ(window.WaitForText("\xC3\xA9\xC3\xB1\xC3\xA9"), "\xC3\xA9\xC3\xB1\xC3\xA9");
            // Idle between scans: long past any moment a lent binding could be given back.
            EXPECT_FALSE(test::WaitUntil(usersBindingGone, std::chrono::milliseconds(1500)))
                << "round " << round;
        }
    }
    for (const int kc : taken) {
        EXPECT_EQ(FirstKeysym(server.Display(), kc), static_cast<KeySym>(XK_F13)) << kc;
    }
}

TEST(X11Characters, ALayoutSwitchWhileABoxIsOpenIsFollowed)
{
    XvfbServer server;
    X11TestWindow window(server.Display());
    XTestKeyboard keyboard(server.Display(), CodePage::cp1252,
                           [&](std::string_view, std::string_view) {
                               EXPECT_EQ(window.WaitForText("y"), "y");
                               server.SetLayout("de"); // y and z swap, and "-" moves
                           },
                           {});
    EXPECT_TRUE(SendKeys(keyboard, "y{F17}-y", false));
    EXPECT_EQ(window.WaitForText("y-y"), "y-y");
}

} // namespace
} // namespace lantorvix
