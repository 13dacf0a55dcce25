#include "keys/send_keys.h"
#include "keys/wayland/virtual_keymap.h"
#include "keys/wayland/wayland_keyboard.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <memory>
#include <string>
#include <vector>

namespace lantorvix {
namespace {

// Plays the compositor and a receiving client: reads every key against the keymap and
// modifiers last sent, as a client's xkb state would.
struct Received {
    std::string text;                 // the UTF-8 the presses typed
    std::vector<int> levels;          // the level of each press that typed a character
    std::vector<std::string> keysyms; // the keysym name of every press
    std::vector<std::uint32_t> depressedAtPress;
    int keymaps = 0;
    int flushes = 0;
    int flushesWithAKeyDown = 0; // a receiver would see that key held across a pause
    bool keyBeforeKeymap = false;
    std::vector<std::uint16_t> down;
};

class ReplayOutput : public VirtualKeyboardOutput {
public:
    explicit ReplayOutput(Received& r) : r_(r), context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {}
    ~ReplayOutput() override
    {
        xkb_state_unref(state_);
        xkb_keymap_unref(keymap_);
        xkb_context_unref(context_);
    }
    void Keymap(const std::string& text) override
    {
        ++r_.keymaps;
        xkb_state_unref(state_);
        xkb_keymap_unref(keymap_);
        keymap_ = xkb_keymap_new_from_string(context_, text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                             XKB_KEYMAP_COMPILE_NO_FLAGS);
        ASSERT_NE(keymap_, nullptr);
        state_ = xkb_state_new(keymap_);
    }
    void Key(std::uint16_t evdev, bool press) override
    {
        if (state_ == nullptr) {
            r_.keyBeforeKeymap = true;
            return;
        }
        if (!press) {
            std::erase(r_.down, evdev);
            return;
        }
        r_.down.push_back(evdev);
        const xkb_keycode_t code = evdev + 8;
        const xkb_keysym_t sym = xkb_state_key_get_one_sym(state_, code);
        char name[64];
        xkb_keysym_get_name(sym, name, sizeof name);
        r_.keysyms.emplace_back(name);
        r_.depressedAtPress.push_back(xkb_state_serialize_mods(state_, XKB_STATE_MODS_DEPRESSED));
        char utf8[16];
        if (xkb_state_key_get_utf8(state_, code, utf8, sizeof utf8) > 0 &&
            static_cast<unsigned char>(utf8[0]) >= 0x20) {
            r_.text += utf8;
            r_.levels.push_back(static_cast<int>(
                xkb_state_key_get_level(state_, code, xkb_state_key_get_layout(state_, code))));
        }
    }
    void Modifiers(std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked,
                   std::uint32_t group) override
    {
        ASSERT_NE(state_, nullptr) << "modifiers before a keymap";
        xkb_state_update_mask(state_, depressed, latched, locked, 0, 0, group);
    }
    void Flush() override
    {
        ++r_.flushes;
        for (const auto evdev : r_.down) {
            if (evdev != 42 && evdev != 54 && evdev != 29 && evdev != 97 && evdev != 56 && evdev != 100) {
                ++r_.flushesWithAKeyDown;
                break;
            }
        }
    }

private:
    Received& r_;
    xkb_context* context_;
    xkb_keymap* keymap_ = nullptr;
    xkb_state* state_ = nullptr;
};

struct Typist {
    Received received;
    std::vector<std::string> boxes;
    WaylandKeyboard keyboard{std::make_unique<ReplayOutput>(received),
                             CodePage::cp1250,
                             [this](std::string_view text, std::string_view) { boxes.emplace_back(text); },
                             {}};
};

TEST(WaylandKeyboardTest, EveryCharacterOfACodeArrivesFromALevelOneKeyWithNoModifier)
{
    Typist t;
    // cp1250: E9 é, F5 ő, 8A Š; the characters of the key-sequence language in braces.
    const std::string code = "AZ az 09 !\"#$&',-./:;<=>?@[\\]_`|{+}{^}{%}{~}{(}{)}\xE9\xF5\x8A";
    ASSERT_TRUE(SendKeys(t.keyboard, code, false));
    EXPECT_EQ(t.received.text, "AZ az 09 !\"#$&',-./:;<=>?@[\\]_`|+^%~()éőŠ");
    EXPECT_FALSE(t.received.keyBeforeKeymap);
    EXPECT_TRUE(t.boxes.empty());
    for (std::size_t i = 0; i < t.received.levels.size(); ++i) {
        EXPECT_EQ(t.received.levels[i], 0) << "character " << i;
        EXPECT_EQ(t.received.depressedAtPress[i], 0u) << "character " << i;
    }
    EXPECT_EQ(t.received.keymaps, 2) << "the keyboard's first keymap, then one for the code";
    EXPECT_TRUE(t.received.down.empty());
}

TEST(WaylandKeyboardTest, KeyNamesAndModifiersKeepTheirMeaning)
{
    struct Case {
        std::string keys;
        std::vector<std::string> keysyms;
        std::vector<std::uint32_t> depressed; // Shift 1, Control 4, Mod1 8
        std::string text;                     // the printable characters typed
    };
    const Case cases[] = {
        {"{F4}{TAB}{ENTER}{ESC}{HOME}{F13}",
         {"F4", "Tab", "Return", "Escape", "Home", "F13"},
         {0, 0, 0, 0, 0, 0},
         ""},
        {"^c", {"Control_L", "c"}, {0, 4}, ""},
        {"+a", {"Shift_L", "A"}, {0, 1}, "A"},
        {"%{F4}", {"Alt_L", "F4"}, {0, 8}, ""},
        {"^%q", {"Control_L", "Alt_L", "q"}, {0, 4, 12}, ""},
        {"+(ab)c", {"Shift_L", "A", "B", "c"}, {0, 1, 1, 0}, "ABc"},
    };
    for (const auto& c : cases) {
        Typist t;
        SendKeys(t.keyboard, c.keys, false);
        EXPECT_EQ(t.received.keysyms, c.keysyms) << c.keys;
        EXPECT_EQ(t.received.depressedAtPress, c.depressed) << c.keys;
        EXPECT_EQ(t.received.text, c.text) << c.keys; // printable characters only
        EXPECT_TRUE(t.received.down.empty()) << c.keys;
    }
}

TEST(WaylandKeyboardTest, NumLockFollowsTheKeyStateTable)
{
    Typist t;
    EXPECT_FALSE(t.keyboard.IsNumLockOn());
    KeyStateTable table{};
    table[0x90] = 1;
    t.keyboard.SetKeyboardState(table);
    EXPECT_TRUE(t.keyboard.IsNumLockOn());
    EXPECT_EQ(t.received.keysyms, std::vector<std::string>{"Num_Lock"});
}

TEST(WaylandKeyboardTest, TheKeymapIsSentAgainOnlyForACharacterItLacks)
{
    Typist t;
    struct Step {
        std::string code;
        int keymapsAfter;
    };
    const Step steps[] = {{"abc", 2}, {"cab", 2}, {"abd", 3}, {"d", 3}, {"\xE9", 4}, {"abcd\xE9", 4}};
    for (const auto& s : steps) {
        t.received.levels.clear();
        SendKeys(t.keyboard, s.code, false);
        EXPECT_EQ(t.received.keymaps, s.keymapsAfter) << s.code;
        EXPECT_EQ(t.received.levels.size(), s.code.size()) << s.code;
    }
}

TEST(WaylandKeyboardTest, ACodeWithMoreCharactersThanTheKeymapHoldsArrivesWhole)
{
    Typist t;
    std::string code;
    std::string expected;
    for (int ch = 0x21; ch < 0x7F; ++ch) {
        if (std::string_view("+^%~(){}[]").find(static_cast<char>(ch)) == std::string_view::npos) {
            code += static_cast<char>(ch);
            expected += static_cast<char>(ch);
        }
    }
    // Every character cp1250 defines from A0 on.
    for (int ch = 0xA0; ch <= 0xFF; ++ch) {
        code += static_cast<char>(ch);
    }
    const std::size_t capacity = VirtualKeymap().Capacity();
    ASSERT_GT(code.size(), capacity);
    SendKeys(t.keyboard, code, false);
    // One keymap for the code, then one for each character that did not fit.
    EXPECT_LE(t.received.keymaps, static_cast<int>(2 + code.size() - capacity));
    EXPECT_EQ(t.received.text.substr(0, expected.size()), expected);
    EXPECT_EQ(t.received.levels.size(), code.size());
    EXPECT_TRUE(t.boxes.empty());
    EXPECT_GT(t.received.flushes, 3) << "a long code in several flushes";
    EXPECT_EQ(t.received.flushesWithAKeyDown, 0);
}

} // namespace
} // namespace lantorvix
