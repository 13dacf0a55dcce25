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

TEST(LineEndsTest, OnlyWellFormedUtf8IsValid)
{
    for (const char* good : {"", "abc", "Größe", "árvíztűrő", "€", "😀", "\xef\xbf\xbf"}) {
        EXPECT_TRUE(i18n::IsValidUtf8(good)) << good;
    }
    // Latin-2 bytes, a cut sequence, overlong forms, a surrogate, past U+10FFFF, a stray
    // continuation byte, a lone lead byte at the end.
    for (const char* bad : {"\xe1rv\xedzt\xfbr\xf5", "\xe2\x82", "\xc0\xaf", "\xe0\x80\xaf", "\xed\xa0\x80",
                            "\xf4\x90\x80\x80", "\x80", "ok\xc3", "\xf8\x88\x80\x80\x80"}) {
        EXPECT_FALSE(i18n::IsValidUtf8(bad)) << bad;
    }
}

} // namespace
} // namespace lantorvix
