#include "base/exception.h"
#include "keys/key_names.h"
#include "keys/send_keys.h"
#include "support/recording_keyboard.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace lantorvix {
namespace {

using test::RecordingKeyboard;
using Events = std::vector<std::pair<int, int>>;
using Boxes = std::vector<std::string>;

struct SequenceCase {
    std::string name;
    std::string text;
    Events events;
    bool result = true;
    Boxes boxes = {};
    // Names the case in failure messages (the default dumps the bytes, padding included).
    friend void PrintTo(const SequenceCase& c, std::ostream* os) { *os << c.name; }
};

std::vector<std::string> BoxTexts(const RecordingKeyboard& keyboard)
{
    std::vector<std::string> out;
    for (const auto& b : keyboard.boxes) {
        EXPECT_EQ(b.caption, "SendKeys");
        out.push_back(b.text);
    }
    return out;
}

class Sequences : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(Sequences, SendExactlyTheseEvents)
{
    RecordingKeyboard keyboard;
    const auto& c = GetParam();
    EXPECT_EQ(SendKeys(keyboard, c.text, false), c.result);
    EXPECT_EQ(keyboard.VkFlags(), c.events);
    EXPECT_EQ(BoxTexts(keyboard), c.boxes);
}

const Events kShiftA = {{16, 0}, {65, 0}, {65, 2}, {16, 2}};
const Events kEnter = {{13, 0}, {13, 2}};
const Events kBack = {{8, 0}, {8, 2}};

INSTANTIATE_TEST_SUITE_P(
    SendKeys, Sequences,
    ::testing::Values(
        SequenceCase{"Empty", "", {}, false},
        SequenceCase{"NulAtStartIsEmpty", std::string("\0ab", 3), {}, false},
        SequenceCase{"TwoLetters", "ab", {{65, 0}, {65, 2}, {66, 0}, {66, 2}}},
        SequenceCase{"StopsAtNul", std::string("a\0b", 3), {{65, 0}, {65, 2}}},
        SequenceCase{"CapitalFromLayout", "A", kShiftA},
        // Modifier scope
        SequenceCase{"ShiftForNextKeyOnly", "+ab", {{16, 0}, {65, 0}, {65, 2}, {16, 2}, {66, 0}, {66, 2}}},
        SequenceCase{"ShiftForGroup",
                     "+(ab)c",
                     {{16, 0}, {65, 0}, {65, 2}, {66, 0}, {66, 2}, {16, 2}, {67, 0}, {67, 2}}},
        SequenceCase{"OpenGroupLeavesShiftDown", "+(ab", {{16, 0}, {65, 0}, {65, 2}, {66, 0}, {66, 2}}},
        SequenceCase{"GroupsDoNotNest", "+((a)b)", {{16, 0}, {65, 0}, {65, 2}, {16, 2}, {66, 0}, {66, 2}}},
        SequenceCase{"CloseWithoutGroupReleasesAtOnce", "+)a", {{16, 0}, {16, 2}, {65, 0}, {65, 2}}},
        SequenceCase{
            "RepeatedPrefixPressesTwiceReleasesOnce", "++a", {{16, 0}, {16, 0}, {65, 0}, {65, 2}, {16, 2}}},
        SequenceCase{
            "PendingShiftPlusKeyShift", "+A", {{16, 0}, {16, 0}, {65, 0}, {65, 2}, {16, 2}, {16, 2}}},
        SequenceCase{"CtrlF4", "^{F4}", {{17, 0}, {115, 0}, {115, 2}, {17, 2}}},
        SequenceCase{"AltF4", "%{F4}", {{18, 0}, {115, 0}, {115, 2}, {18, 2}}},
        SequenceCase{"ShiftCtrlHomeReleasedInOrder",
                     "+^{HOME}",
                     {{16, 0}, {17, 0}, {36, 1}, {36, 3}, {16, 2}, {17, 2}}},
        SequenceCase{"AltCtrlShiftReleasedShiftFirst",
                     "%^+a",
                     {{18, 0}, {17, 0}, {16, 0}, {65, 0}, {65, 2}, {16, 2}, {17, 2}, {18, 2}}},
        SequenceCase{
            "TildeIsEnterAndEndsScope", "+~a", {{16, 0}, {13, 0}, {13, 2}, {16, 2}, {65, 0}, {65, 2}}},
        // Named keys
        SequenceCase{"EnterUpper", "{ENTER}", kEnter}, SequenceCase{"EnterLower", "{enter}", kEnter},
        SequenceCase{"EnterMixed", "{eNtEr}", kEnter}, SequenceCase{"Tilde", "~", kEnter},
        SequenceCase{"Backspace", "{BACKSPACE}", kBack}, SequenceCase{"Bksp", "{BKSP}", kBack},
        SequenceCase{"Bs", "{BS}", kBack}, SequenceCase{"BreakIsCancel", "{BREAK}", {{3, 0}, {3, 2}}},
        SequenceCase{"PrtscIsVkPrint", "{PRTSC}", {{42, 0}, {42, 2}}},
        SequenceCase{"DeleteExtended", "{DEL}{DELETE}", {{46, 1}, {46, 3}, {46, 1}, {46, 3}}},
        SequenceCase{"F16", "{F16}", {{127, 0}, {127, 2}}},
        SequenceCase{"NumLockSendsNoEvent", "{NUMLOCK 3}", {}},
        // Counts
        SequenceCase{"TabThree", "{TAB 3}", {{9, 0}, {9, 2}, {9, 0}, {9, 2}, {9, 0}, {9, 2}}},
        SequenceCase{"TabZero", "{TAB 0}", {}},
        SequenceCase{"TabZeroStillEndsScope", "+{TAB 0}a", {{16, 0}, {16, 2}, {65, 0}, {65, 2}}},
        SequenceCase{"CountLow16Bits", "{TAB 65537}", {{9, 0}, {9, 2}}},
        SequenceCase{"CountHexX", "{TAB x2}", {{9, 0}, {9, 2}, {9, 0}, {9, 2}}},
        SequenceCase{"CountHex0x", "{TAB 0X2}", {{9, 0}, {9, 2}, {9, 0}, {9, 2}}},
        SequenceCase{"CountLeadingSpaces", "{TAB   +2}", {{9, 0}, {9, 2}, {9, 0}, {9, 2}}},
        SequenceCase{"LowerA", "{a}", kShiftA},
        SequenceCase{"LowerAThrice",
                     "{a 3}",
                     {{16, 0}, {65, 0}, {65, 2}, {65, 0}, {65, 2}, {65, 0}, {65, 2}, {16, 2}}},
        // Brace keys
        SequenceCase{"OpenBrace", "{{}", {{16, 0}, {219, 0}, {219, 2}, {16, 2}}},
        SequenceCase{
            "OpenBraceTakesThreeBytes", "{{xa", {{16, 0}, {219, 0}, {219, 2}, {16, 2}, {65, 0}, {65, 2}}},
        SequenceCase{"OpenBraceAtEnd", "{{", {{16, 0}, {219, 0}, {219, 2}, {16, 2}}},
        SequenceCase{"CloseBrace", "{}}", {{16, 0}, {221, 0}, {221, 2}, {16, 2}}},
        SequenceCase{"CloseBraceDropsName", "{ENTER 5}}", {{16, 0}, {221, 0}, {221, 2}, {16, 2}}},
        SequenceCase{"LoneCloseBraceIsCharacter", "}", {{16, 0}, {221, 0}, {221, 2}, {16, 2}}},
        SequenceCase{"ShiftOverOpenBrace",
                     "+{{}a",
                     {{16, 0}, {16, 0}, {219, 0}, {219, 2}, {16, 2}, {16, 2}, {65, 0}, {65, 2}}},
        // Errors
        SequenceCase{"EmptyName", "{}", {}, true, {"Invalid Key Name"}},
        SequenceCase{"NoF17", "{F17}", {}, true, {"Invalid Key Name"}},
        SequenceCase{"NoInsert", "{INSERT}", {}, true, {"Invalid Key Name"}},
        SequenceCase{
            "NameCutAtTwentyBytes", "{ENTERXXXXXXXXXXXXXXXXXXXXXXX 1}", {}, true, {"Invalid Key Name"}},
        SequenceCase{"UnknownNameKeepsShiftPending",
                     "+{F17}a",
                     {{16, 0}, {65, 0}, {65, 2}, {16, 2}},
                     true,
                     {"Invalid Key Name"}},
        SequenceCase{"NoClose", "{ENTER", {}, false, {"No Close"}},
        SequenceCase{"NoCloseAfterKeys", "a{TAB 3", {{65, 0}, {65, 2}}, false, {"No Close"}},
        SequenceCase{"NoCloseLeavesShiftDown", "+{ENTER", {{16, 0}}, false, {"No Close"}},
        SequenceCase{"UntypeableCharacterOnce",
                     "a\xED"
                     "b",
                     {{65, 0}, {65, 2}, {66, 0}, {66, 2}},
                     true,
                     {"Invalid KeyName"}},
        SequenceCase{"UntypeableKeepsShiftPending",
                     "+\xED"
                     "a",
                     kShiftA,
                     true,
                     {"Invalid KeyName"}},
        SequenceCase{"UntypeableBracedSingleIsSilent", "+{\xED}a", kShiftA, true, {}}),
    [](const auto& param) { return param.param.name; });

struct TypedCase {
    std::string text;
    std::string typed;
    friend void PrintTo(const TypedCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.text); }
};

class TypedText : public ::testing::TestWithParam<TypedCase> {};

TEST_P(TypedText, TypesTheCharacters)
{
    RecordingKeyboard keyboard;
    EXPECT_TRUE(SendKeys(keyboard, GetParam().text, false));
    EXPECT_EQ(keyboard.TypedText(), GetParam().typed);
    EXPECT_TRUE(keyboard.KeysDown().empty());
    EXPECT_TRUE(keyboard.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(SendKeys, TypedText,
                         ::testing::Values(TypedCase{"Hello, World!~", "Hello, World!\n"},
                                           TypedCase{"{+}{^}{%}{~}{(}{)}", "+^%~()"},
                                           TypedCase{"{{}{}}", "{}"},
                                           TypedCase{"0123456789\t", "0123456789\t"},
                                           TypedCase{"+(hello) world", "HELLO world"},
                                           TypedCase{"^a%{F4}", "<^65><%115>"}, TypedCase{"a\rb", "a\nb"}));

TEST(SendKeys, TabCountMinusOneIs65535Presses)
{
    RecordingKeyboard keyboard;
    EXPECT_TRUE(SendKeys(keyboard, "{TAB -1}", false));
    ASSERT_EQ(keyboard.events.size(), 2u * 65535u);
    EXPECT_EQ(keyboard.events.front(), (RecordingKeyboard::Event{9, 0x0F, 0}));
    EXPECT_EQ(keyboard.events.back(), (RecordingKeyboard::Event{9, 0x0F, 2}));
}

TEST(SendKeys, TabCountDollarTenIsSixteen)
{
    RecordingKeyboard keyboard;
    EXPECT_TRUE(SendKeys(keyboard, "{TAB $10}", false));
    EXPECT_EQ(keyboard.events.size(), 32u);
}

struct BadCountCase {
    std::string text;
    std::string message;
    friend void PrintTo(const BadCountCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.text); }
};

class BadCounts : public ::testing::TestWithParam<BadCountCase> {};

TEST_P(BadCounts, RaiseConvertErrorAndKeepWhatWasSent)
{
    RecordingKeyboard keyboard;
    try {
        SendKeys(keyboard, "+a" + GetParam().text + "b", false);
        FAIL() << "no EConvertError";
    } catch (const EConvertError& e) {
        EXPECT_EQ(std::string(e.what()), GetParam().message);
    }
    // "a" went out with Shift; the "+" of the next item never came; nothing after the error.
    EXPECT_EQ(keyboard.VkFlags(), (Events{{16, 0}, {65, 0}, {65, 2}, {16, 2}}));
}

INSTANTIATE_TEST_SUITE_P(SendKeys, BadCounts,
                         ::testing::Values(BadCountCase{"{ENTER x}", "'X' is not a valid integer value"},
                                           BadCountCase{"{ }", "'' is not a valid integer value"},
                                           BadCountCase{"{TAB }", "'' is not a valid integer value"},
                                           BadCountCase{"{TAB 3 4}", "'3 4' is not a valid integer value"},
                                           BadCountCase{"{TAB 4294967296}",
                                                        "'4294967296' is not a valid integer value"},
                                           BadCountCase{"{TAB 1.5}", "'1.5' is not a valid integer value"},
                                           BadCountCase{"{ TAB}", "'TAB' is not a valid integer value"}));

TEST(SendKeys, ModifiersPressedBeforeABadCountStayDown)
{
    RecordingKeyboard keyboard;
    EXPECT_THROW(SendKeys(keyboard, "+^{TAB z}", false), EConvertError);
    EXPECT_EQ(keyboard.KeysDown(), (std::vector<int>{16, 17}));
}

TEST(SendKeys, BracedNamesAreUpperCasedOnlyInAscii)
{
    RecordingKeyboard keyboard;
    keyboard.layout[0xE9] = 0x00DE; // é
    keyboard.layout[0xC9] = 0x01DE; // É
    EXPECT_TRUE(SendKeys(keyboard, "{\xE9}", false));
    EXPECT_EQ(keyboard.VkFlags(), (Events{{222, 0}, {222, 2}}));
}

// AltGr characters as the Windows layouts give them through VkKeyScanA (Ctrl and Alt bits):
// the Windows build sends the generic Ctrl and Alt keys around the key, released in the order
// pressed. (Wine does not take Ctrl+Alt for AltGr, so only these events can be checked there.)
struct AltGrCase {
    const char* layout;
    std::map<unsigned char, ShiftedKey> keys;
    friend void PrintTo(const AltGrCase& c, std::ostream* os) { *os << c.layout; }
};

class AltGrCharacters : public ::testing::TestWithParam<AltGrCase> {};

TEST_P(AltGrCharacters, AreCtrlAltAroundTheKey)
{
    RecordingKeyboard keyboard;
    keyboard.layout = GetParam().keys;
    std::string text;
    Events expected;
    for (const auto& [ch, key] : GetParam().keys) {
        // "~" and the other command characters are typed in braces.
        text += std::string_view("+^%()~").find(static_cast<char>(ch)) == std::string_view::npos
                    ? std::string(1, static_cast<char>(ch))
                    : std::string("{") + static_cast<char>(ch) + "}";
        const int vk = key & 0xFF;
        expected.insert(expected.end(), {{17, 0}, {18, 0}, {vk, 0}, {vk, 2}, {17, 2}, {18, 2}});
    }
    EXPECT_TRUE(SendKeys(keyboard, text, false));
    EXPECT_EQ(keyboard.VkFlags(), expected);
}

// 0x80 is the euro sign in code pages 1250 and 1252.
INSTANTIATE_TEST_SUITE_P(
    SendKeys, AltGrCharacters,
    ::testing::Values(
        AltGrCase{"hu", {{'@', 0x0656}, {'\\', 0x0651}, {'[', 0x0646}, {']', 0x0647}, {0x80, 0x0655}}},
        AltGrCase{
            "de",
            {{'@', 0x0651}, {'\\', 0x06DB}, {'}', 0x0630}, {'|', 0x06E2}, {'~', 0x06BB}, {0x80, 0x0645}}},
        AltGrCase{"fr", {{'@', 0x0630}, {'#', 0x0633}, {'}', 0x06BB}, {'\\', 0x0638}, {0x80, 0x0645}}}),
    [](const auto& param) { return std::string(param.param.layout); });

TEST(SendKeys, PumpsAfterEveryEventOnlyWhenAsked)
{
    RecordingKeyboard pumped;
    EXPECT_TRUE(SendKeys(pumped, "+(ab)~{NUMLOCK}", true));
    const auto keys = std::count_if(pumped.calls.begin(), pumped.calls.end(),
                                    [](const std::string& c) { return c.rfind("key ", 0) == 0; });
    EXPECT_EQ(keys, 8);
    EXPECT_EQ(std::count(pumped.calls.begin(), pumped.calls.end(), "pump"), keys);

    RecordingKeyboard quiet;
    EXPECT_TRUE(SendKeys(quiet, "+(ab)~", false));
    EXPECT_EQ(std::count(quiet.calls.begin(), quiet.calls.end(), "pump"), 0);
}

TEST(SendKeys, NestedCallFromAMessageBoxIsIndependent)
{
    RecordingKeyboard keyboard;
    bool nested = false;
    keyboard.onBox = [&] {
        if (!nested) {
            nested = true;
            EXPECT_TRUE(SendKeys(keyboard, "b", false));
        }
    };
    EXPECT_TRUE(SendKeys(keyboard,
                         "+\xED"
                         "a",
                         false));
    // The outer Shift is down while the nested "b" goes out; the outer "a" still gets it.
    EXPECT_EQ(keyboard.VkFlags(), (Events{{16, 0}, {66, 0}, {66, 2}, {65, 0}, {65, 2}, {16, 2}}));
}

// The keyboard learns every character the sequence will ask VkKeyScan for, and nothing else,
// before the first key event: a keyboard that lends keys binds them all up front.
class AnnouncedCharacters : public ::testing::TestWithParam<std::string> {};

TEST_P(AnnouncedCharacters, AreExactlyTheOnesScanned)
{
    RecordingKeyboard keyboard;
    SendKeys(keyboard, GetParam(), false);
    ASSERT_FALSE(keyboard.calls.empty());
    const std::string& first = keyboard.calls.front();
    ASSERT_EQ(first.rfind("prepare ", 0), 0u) << first;
    const std::string announced = first.substr(8);
    EXPECT_EQ(std::set<char>(announced.begin(), announced.end()),
              std::set<char>(keyboard.scanned.begin(), keyboard.scanned.end()));
    EXPECT_EQ(announced.size(), std::set<char>(announced.begin(), announced.end()).size()) << announced;
}

INSTANTIATE_TEST_SUITE_P(SendKeys, AnnouncedCharacters,
                         ::testing::Values("Hello, World!~", "{+}{^}{%}{~}{(}{)}{{}{}}x", "+(hello) world",
                                           "^a%{F4}{TAB 2}", "{a 3}{b}{ENTER 5}}c", "{{xa}", "a{TAB 3b",
                                           "+{\xED}a\xED", std::string("ab\0cd", 5), "{ 2}{Q 1}{} }"));

TEST(KeyNames, EveryRowIsFoundAndNothingElse)
{
    const std::vector<std::pair<std::string, int>> rows = {
        {"BACKSPACE", 8}, {"BKSP", 8},   {"BREAK", 3},   {"BS", 8},           {"CAPSLOCK", 20},
        {"CLEAR", 12},    {"DEL", 46},   {"DELETE", 46}, {"DOWN", 40},        {"END", 35},
        {"ENTER", 13},    {"ESC", 27},   {"ESCAPE", 27}, {"F1", 112},         {"F10", 121},
        {"F11", 122},     {"F12", 123},  {"F13", 124},   {"F14", 125},        {"F15", 126},
        {"F16", 127},     {"F2", 113},   {"F3", 114},    {"F4", 115},         {"F5", 116},
        {"F6", 117},      {"F7", 118},   {"F8", 119},    {"F9", 120},         {"HELP", 47},
        {"HOME", 36},     {"INS", 45},   {"LEFT", 37},   {"NUMLOCK", 144},    {"PGDN", 34},
        {"PGUP", 33},     {"PRTSC", 42}, {"RIGHT", 39},  {"SCROLLLOCK", 145}, {"TAB", 9},
        {"UP", 38}};
    for (const auto& [name, code] : rows) {
        EXPECT_EQ(FindKeyName(name), std::optional<std::uint8_t>(static_cast<std::uint8_t>(code))) << name;
    }
    for (const std::string name : {"", "A", "ENTE", "ENTERS", "enter", "F17", "F0", "INSERT", "SHIFT",
                                   "SPACE", "PAUSE", "ZZZ", "\xFF"}) {
        EXPECT_FALSE(FindKeyName(name).has_value()) << name;
    }
}

} // namespace
} // namespace lantorvix
