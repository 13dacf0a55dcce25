#include "i18n/line_ends.h"

#include <gtest/gtest.h>

namespace lantorvix {
namespace {

TEST(LineEndsTest, CarriageReturnsAreRemovedForLookupAndPutBeforeBareLineFeeds)
{
    const std::pair<const char*, const char*> removed[] = {
        {"a\r\nb", "a\nb"}, {"\r", ""}, {"a\rb\r\r\n", "ab\n"}, {"plain", "plain"}};
    for (const auto& [in, out] : removed) {
        EXPECT_EQ(i18n::RemoveCarriageReturns(in), out) << in;
    }
    const std::pair<const char*, const char*> added[] = {{"a\nb", "a\r\nb"},
                                                         {"\n", "\r\n"},
                                                         {"a\r\nb\n", "a\r\nb\r\n"},
                                                         {"\n\n", "\r\n\r\n"},
                                                         {"a\rb", "a\rb"}};
    for (const auto& [in, out] : added) {
        EXPECT_EQ(i18n::AddCarriageReturns(in), out) << in;
    }
}

} // namespace
} // namespace lantorvix
