#include "base/format.h"

#include <gtest/gtest.h>

namespace lantorvix {
namespace {

struct FormatCase {
    const char* pattern;
    std::string expected;
};

TEST(Format, FillsDirectivesInOrderAndKeepsEverythingElseLiteral)
{
    const FormatCase cases[] = {
        {"'%s' is not a valid integer value", "'X' is not a valid integer value"},
        {"code %d", "code %d"}, // a number directive never takes a text
        {"%s (win error code: %d)", "X (win error code: 5)"},
        {"100%% sure %s", "100% sure X"},
        {"%x %s %n", "%x X %n"},
        {"trailing %", "trailing %"},
        {"%s %s", "X %s"}, // the second argument is a number
    };
    for (const auto& c : cases) {
        std::string_view text = "X";
        const std::int64_t five = 5;
        EXPECT_EQ(Format(c.pattern, {text, five}), c.expected) << c.pattern;
    }
}

TEST(Format, MissingArgumentsLeaveDirectivesAsText)
{
    EXPECT_EQ(Format("%d and %s", {}), "%d and %s");
    EXPECT_EQ(Format("%d", {std::int64_t{-7}}), "-7");
}

} // namespace
} // namespace lantorvix
