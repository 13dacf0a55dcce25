#include "base/codepage.h"
#include "keys/linux/key_layout.h"
#include "keys/linux/xkb_names_layout.h"
#include "keys/virtual_keys.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace lantorvix {
namespace {

// Evdev codes of a few physical keys.
constexpr std::uint16_t kKeyGrave = 41, kKeyY = 21, kKeyZ = 44, kKey0 = 11, kKeyV = 47, kKeyLeftBrace = 26;

struct CharCase {
    std::string layout;
    char32_t ch;
    ShiftedKey key;
    std::uint16_t evdev; // the physical key the virtual key presses
    friend void PrintTo(const CharCase& c, std::ostream* os)
    {
        *os << c.layout << " U+" << std::hex << unsigned(c.ch);
    }
};

class XkbLayouts : public ::testing::TestWithParam<CharCase> {};

TEST_P(XkbLayouts, CharactersMapToTheKeysThatTypeThem)
{
    const auto& c = GetParam();
    const KeyLayout layout(DescribeXkbLayout({"evdev", "pc105", c.layout, "", ""}));
    const ShiftedKey key = layout.VkKeyScan(c.ch);
    EXPECT_EQ(key, c.key) << std::hex << key;
    if (key != kNoKey) {
        EXPECT_EQ(layout.EvdevForVk(VirtualKeyOf(key)), std::optional<std::uint16_t>(c.evdev));
    }
}

INSTANTIATE_TEST_SUITE_P(
    KeyLayout, XkbLayouts,
    ::testing::Values(CharCase{"us", U'y', 'Y', kKeyY}, CharCase{"us", U'Z', 0x015A, kKeyZ},
                      CharCase{"us", U'0', '0', kKey0}, CharCase{"us", U'{', 0x01DB, kKeyLeftBrace},
                      CharCase{"us", U'\r', vk::kReturn, 28}, CharCase{"us", U'\t', vk::kTab, 15},
                      CharCase{"us", U' ', vk::kSpace, 57}, CharCase{"us", U'\n', 0x020D, 28},
                      CharCase{"us", U'\u00ED', kNoKey, 0},
                      // Hungarian: z and y swap, 0 sits left of 1, accented letters have keys.
                      CharCase{"hu", U'y', 'Y', kKeyZ}, CharCase{"hu", U'z', 'Z', kKeyY},
                      CharCase{"hu", U'0', '0', kKeyGrave}, CharCase{"hu", U'\u00ED', 0x00E2, 86},
                      CharCase{"hu", U'@', 0x0656, kKeyV}, CharCase{"hu", U'\u0151', 0x00DB, kKeyLeftBrace},
                      CharCase{"hu", U'\u20AC', 0x0655, 22}, CharCase{"hu", U'\u00F1', kNoKey, 0}));

TEST(KeyLayout, NamedKeysHaveTheirPhysicalKeysAndScanCodes)
{
    const KeyLayout layout(DescribeXkbLayout({"evdev", "pc105", "us", "", ""}));
    const struct {
        std::uint8_t vk;
        std::uint16_t evdev;
        std::uint32_t scan;
    } cases[] = {{vk::kReturn, 28, 0x1C},  {vk::kHome, 102, 0x47},   {vk::kDelete, 111, 0x53},
                 {vk::kF1, 59, 0x3B},      {vk::kF1 + 11, 88, 0x58}, {vk::kF1 + 15, 186, 0x67},
                 {vk::kShift, 42, 0x2A},   {vk::kControl, 29, 0x1D}, {vk::kMenu, 56, 0x38},
                 {vk::kNumLock, 69, 0x45}, {vk::kBack, 14, 0x0E},    {vk::kOem4, 26, 0x1A},
                 {'A', 30, 0x1E}};
    for (const auto& c : cases) {
        EXPECT_EQ(layout.EvdevForVk(c.vk), std::optional<std::uint16_t>(c.evdev)) << int(c.vk);
        EXPECT_EQ(layout.ScanCode(c.vk), c.scan) << int(c.vk);
    }
    EXPECT_EQ(layout.ScanCode(0xFF), 0u);
}

TEST(KeyLayout, EveryPrintableCharacterOfTheCodePageThatHasAKeyRoundTrips)
{
    // No two characters may share a key and level: that would type the wrong one.
    for (const char* name : {"us", "hu", "de", "fr"}) {
        const KeyLayout layout(DescribeXkbLayout({"evdev", "pc105", name, "", ""}));
        std::map<ShiftedKey, char32_t> seen;
        int typeable = 0;
        for (int b = 0x20; b < 0x100; ++b) {
            const char32_t ch = AnsiToCodePoint(static_cast<unsigned char>(b), CodePage::cp1250);
            const ShiftedKey key = layout.VkKeyScan(ch);
            if (key == kNoKey) {
                continue;
            }
            ++typeable;
            const auto [it, inserted] = seen.emplace(key, ch);
            EXPECT_TRUE(inserted) << name << ": U+" << std::hex << unsigned(ch) << " and U+"
                                  << unsigned(it->second) << " share key " << key;
        }
        EXPECT_GT(typeable, 90) << name;
    }
}

TEST(KeyLayout, UnknownLayoutIsAClearError)
{
    try {
        DescribeXkbLayout({"evdev", "pc105", "no-such-layout", "", ""});
        FAIL() << "compiled";
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find("no-such-layout"), std::string::npos) << e.what();
    }
}

TEST(KeyLayout, ConfiguredNamesComeFromTheKeyboardFile)
{
    const std::string path = ::testing::TempDir() + "/keyboard";
    std::ofstream(path)
        << "# generated\nXKBMODEL=\"pc105\"\nXKBLAYOUT=\"hu\"\nXKBVARIANT=\"\"\nXKBOPTIONS=\"\"\n";
    unsetenv("XKB_DEFAULT_LAYOUT");
    EXPECT_EQ(ConfiguredXkbNames({}, path).layout, "hu");
    EXPECT_EQ(ConfiguredXkbNames({}, path).model, "pc105");
    EXPECT_EQ(ConfiguredXkbNames({"", "", "de", "", ""}, path).layout, "de");
    std::remove(path.c_str());
}

} // namespace
} // namespace lantorvix
