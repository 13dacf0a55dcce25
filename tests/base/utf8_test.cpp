#include "base/utf8.h"

#include <gtest/gtest.h>

namespace lantorvix {
namespace {

TEST(Utf8Test, OnlyWellFormedUtf8IsValid)
{
    for (const char* good : {"", "abc", "Größe", "árvíztűrő", "€", "😀", "\xef\xbf\xbf"}) {
        EXPECT_TRUE(IsValidUtf8(good)) << good;
    }
    // Latin-2 bytes, a cut sequence, overlong forms, a surrogate, past U+10FFFF, a stray
    // continuation byte, a lone lead byte at the end.
    for (const char* bad : {"\xe1rv\xedzt\xfbr\xf5", "\xe2\x82", "\xc0\xaf", "\xe0\x80\xaf", "\xed\xa0\x80",
                            "\xf4\x90\x80\x80", "\x80", "ok\xc3", "\xf8\x88\x80\x80\x80"}) {
        EXPECT_FALSE(IsValidUtf8(bad)) << bad;
    }
}

} // namespace
} // namespace lantorvix
