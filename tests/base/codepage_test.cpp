#include "base/codepage.h"

#include <gtest/gtest.h>

namespace lantorvix {
namespace {

TEST(CodePage, LanguagesMapToTheirWindowsAnsiCodePage)
{
    EXPECT_EQ(CodePageForLanguage("hu"), CodePage::cp1250);
    EXPECT_EQ(CodePageForLanguage("hu_HU.UTF-8"), CodePage::cp1250);
    EXPECT_EQ(CodePageForLanguage("pl_PL"), CodePage::cp1250);
    EXPECT_EQ(CodePageForLanguage("ru_RU"), CodePage::cp1251);
    EXPECT_EQ(CodePageForLanguage("en_US"), CodePage::cp1252);
    EXPECT_EQ(CodePageForLanguage("C"), CodePage::cp1252);
    EXPECT_EQ(CodePageForLanguage(""), CodePage::cp1252);
}

TEST(CodePage, HungarianLettersRoundTripThrough1250)
{
    const std::string utf8 = "árvíztűrő tükörfúrógép ÁRVÍZTŰRŐ";
    const std::string ansi = Utf8ToAnsi(utf8, CodePage::cp1250);
    EXPECT_EQ(ansi.size(), 32u);
    EXPECT_EQ(static_cast<unsigned char>(ansi[0]), 0xE1); // á
    EXPECT_EQ(static_cast<unsigned char>(ansi[6]), 0xFB); // ű
    EXPECT_EQ(AnsiToUtf8(ansi, CodePage::cp1250), utf8);
}

TEST(CodePage, EveryByteSurvivesTheRoundTripInEachCodePage)
{
    for (auto cp : {CodePage::cp1250, CodePage::cp1251, CodePage::cp1252}) {
        std::string all;
        for (int b = 1; b < 256; ++b) {
            all += static_cast<char>(b);
        }
        EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all, cp), cp), all) << static_cast<int>(cp);
    }
}

TEST(CodePage, UnmappableAndMalformedInputBecomesQuestionMarks)
{
    EXPECT_EQ(Utf8ToAnsi("\xE4\xB8\xAD", CodePage::cp1250), "?"); // a CJK character
    EXPECT_EQ(Utf8ToAnsi("a\xC3", CodePage::cp1252), "a?");       // cut sequence
    EXPECT_EQ(Utf8ToAnsi("\xC0\x80", CodePage::cp1252), "?");     // overlong NUL
}

TEST(CodePage, Utf16ConversionsHandleSurrogatesAndLoneHalves)
{
    const std::string utf8 = "ő\xF0\x9F\x98\x80";
    const std::u16string utf16 = Utf8ToUtf16(utf8);
    ASSERT_EQ(utf16.size(), 3u);
    EXPECT_EQ(utf16[0], u'ő');
    EXPECT_EQ(utf16[1], 0xD83D);
    EXPECT_EQ(Utf16ToUtf8(utf16), utf8);
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t{0xD800})), "\xEF\xBF\xBD");
}

} // namespace
} // namespace lantorvix
