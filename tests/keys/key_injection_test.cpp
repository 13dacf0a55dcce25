#include "keys/key_injection.h"
#include "keys/virtual_keys.h"
#include "support/recording_keyboard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace lantorvix {
namespace {

using test::RecordingKeyboard;
using Events = std::vector<std::pair<int, int>>;

struct InjectionCase {
    std::string name;
    std::function<void(KeyboardPlatform&)> operation;
    Events expected;
    // Names the case in failure messages (the default dumps the bytes, padding included).
    friend void PrintTo(const InjectionCase& c, std::ostream* os) { *os << c.name; }
};

class WorkedSequences : public ::testing::TestWithParam<InjectionCase> {};

TEST_P(WorkedSequences, SendTheKeyEventsInOrder)
{
    RecordingKeyboard keyboard;
    GetParam().operation(keyboard);
    EXPECT_EQ(keyboard.VkFlags(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Injection, WorkedSequences,
    ::testing::Values(
        InjectionCase{
            "EnterOnce", [](auto& k) { SendVirtualKey(k, 13, 1, true, false); }, {{13, 0}, {13, 2}}},
        InjectionCase{"HomeTwiceIsExtended",
                      [](auto& k) { SendVirtualKey(k, 36, 2, true, false); },
                      {{36, 1}, {36, 3}, {36, 1}, {36, 3}}},
        InjectionCase{"ShiftDownOnly", [](auto& k) { SendVirtualKey(k, 16, 1, false, false); }, {{16, 0}}},
        InjectionCase{"PressesOnlyWithoutRelease",
                      [](auto& k) { SendVirtualKey(k, 65, 3, false, false); },
                      {{65, 0}, {65, 0}, {65, 0}}},
        InjectionCase{"CountZeroSendsNothing", [](auto& k) { SendVirtualKey(k, 65, 0, true, false); }, {}},
        InjectionCase{"ShiftedA",
                      [](auto& k) { SendShiftedKey(k, 0x0141, 1, true, false); },
                      {{16, 0}, {65, 0}, {65, 2}, {16, 2}}},
        InjectionCase{"CtrlAltATwiceReleasedInPressOrder",
                      [](auto& k) { SendShiftedKey(k, 0x0641, 2, true, false); },
                      {{17, 0}, {18, 0}, {65, 0}, {65, 2}, {65, 0}, {65, 2}, {17, 2}, {18, 2}}},
        InjectionCase{"AllThreeModifiers",
                      [](auto& k) { SendShiftedKey(k, 0x0741, 1, true, false); },
                      {{16, 0}, {17, 0}, {18, 0}, {65, 0}, {65, 2}, {16, 2}, {17, 2}, {18, 2}}},
        InjectionCase{"HighShiftBitsIgnored",
                      [](auto& k) { SendShiftedKey(k, 0xF841, 1, true, false); },
                      {{65, 0}, {65, 2}}},
        InjectionCase{"ShiftedCountZeroStillPressesModifiers",
                      [](auto& k) { SendShiftedKey(k, 0x0141, 0, true, false); },
                      {{16, 0}, {16, 2}}},
        InjectionCase{"ReleaseAlt", [](auto& k) { ReleaseModifierKey(k, 18, false); }, {{18, 2}}}),
    [](const auto& param) { return param.param.name; });

TEST(Injection, ExactlyTheTenNavigationKeysAreExtended)
{
    const std::vector<int> extended = {33, 34, 35, 36, 37, 38, 39, 40, 45, 46};
    for (int vkCode = 0; vkCode < 256; ++vkCode) {
        RecordingKeyboard keyboard;
        SendVirtualKey(keyboard, static_cast<std::uint8_t>(vkCode), 1, true, false);
        if (vkCode == vk::kNumLock) {
            continue;
        }
        const bool isExtended = std::find(extended.begin(), extended.end(), vkCode) != extended.end();
        const Events expected = {{vkCode, isExtended ? 1 : 0}, {vkCode, isExtended ? 3 : 2}};
        EXPECT_EQ(keyboard.VkFlags(), expected) << "vk " << vkCode;
        EXPECT_EQ(IsExtendedKey(static_cast<std::uint8_t>(vkCode)), isExtended) << "vk " << vkCode;
    }
}

TEST(Injection, ScanCodeIsAskedOncePerOperationAndCutToEightBits)
{
    RecordingKeyboard keyboard;
    keyboard.scanCodes[65] = 0xE01E; // only the low byte travels
    SendShiftedKey(keyboard, 0x0141, 4, true, false);
    const std::vector<std::string> expectedCalls = {
        "map 16",   "key 16 0", "map 65",   "key 65 0", "key 65 2", "key 65 0", "key 65 2",
        "key 65 0", "key 65 2", "key 65 0", "key 65 2", "map 16",   "key 16 2"};
    EXPECT_EQ(keyboard.calls, expectedCalls);
    for (const auto& e : keyboard.events) {
        EXPECT_EQ(e.scan, e.vk == 65 ? 0x1E : 0x2A);
    }
}

TEST(Injection, KeyWithoutScanCodeIsSentWithZero)
{
    RecordingKeyboard keyboard;
    keyboard.scanCodes.clear();
    SendVirtualKey(keyboard, vk::kHelp, 1, true, false);
    EXPECT_EQ(keyboard.events, (std::vector<RecordingKeyboard::Event>{{47, 0, 0}, {47, 0, 2}}));
}

struct NumLockCase {
    bool initiallyOn;
    std::uint16_t count;
    bool withRelease;
    friend void PrintTo(const NumLockCase& c, std::ostream* os)
    {
        *os << c.initiallyOn << "/" << c.count << "/" << c.withRelease;
    }
};

class NumLockToggle : public ::testing::TestWithParam<NumLockCase> {};

TEST_P(NumLockToggle, FlipsTheTableBitOnceAndSendsNoEvent)
{
    RecordingKeyboard keyboard;
    keyboard.numLockOn = GetParam().initiallyOn;
    keyboard.keyState[vk::kNumLock] = GetParam().initiallyOn ? 0x01 : 0x80;
    keyboard.keyState[65] = 0x81;
    SendVirtualKey(keyboard, vk::kNumLock, GetParam().count, GetParam().withRelease, true);
    EXPECT_TRUE(keyboard.events.empty());
    EXPECT_EQ(keyboard.calls, (std::vector<std::string>{"numlock", "getstate", "setstate"}));
    EXPECT_EQ(keyboard.keyState[vk::kNumLock], GetParam().initiallyOn ? 0x00 : 0x81);
    EXPECT_EQ(keyboard.keyState[65], 0x81);
}

INSTANTIATE_TEST_SUITE_P(Injection, NumLockToggle,
                         ::testing::Values(NumLockCase{false, 1, true}, NumLockCase{true, 1, true},
                                           NumLockCase{false, 0, true}, NumLockCase{true, 7, false},
                                           NumLockCase{false, 65535, true}));

TEST(Injection, PumpFollowsEveryEventOnlyWhenAsked)
{
    RecordingKeyboard pumped;
    SendShiftedKey(pumped, 0x0624, 1, true, true);
    std::size_t keys = 0;
    for (std::size_t i = 0; i < pumped.calls.size(); ++i) {
        if (pumped.calls[i].rfind("key ", 0) == 0) {
            ++keys;
            ASSERT_LT(i + 1, pumped.calls.size());
            EXPECT_EQ(pumped.calls[i + 1], "pump") << "after " << pumped.calls[i];
        }
    }
    EXPECT_EQ(keys, 6u);
    EXPECT_EQ(std::count(pumped.calls.begin(), pumped.calls.end(), "pump"), 6);

    RecordingKeyboard quiet;
    SendShiftedKey(quiet, 0x0624, 1, true, false);
    ReleaseModifierKey(quiet, 16, false);
    EXPECT_EQ(std::count(quiet.calls.begin(), quiet.calls.end(), "pump"), 0);
}

} // namespace
} // namespace lantorvix
