#include "fake_translation_platform.h"
#include "i18n/language.h"

#include <gtest/gtest.h>

namespace lantorvix {
namespace {

struct LanguageCase {
    const char* name;
    std::optional<std::string> lang;
    std::optional<std::string> userLocale;
    std::optional<std::uint32_t> threadLocale;
    const char* expected;
};

class ChooseLanguageTest : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(ChooseLanguageTest, PicksTheCode)
{
    const auto& c = GetParam();
    test::FakeTranslationPlatform platform;
    if (c.lang) {
        platform.environment["LANG"] = *c.lang;
    }
    platform.userLocale = c.userLocale;
    platform.threadLocale = c.threadLocale;
    EXPECT_EQ(i18n::ChooseLanguage(platform), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChooseLanguageTest,
    ::testing::Values(
        LanguageCase{"LangWinsAndIsCutAtTheDot", "de_DE.UTF-8", "hu_HU", 1031, "de_DE"},
        LanguageCase{"LangCutAtTheFirstDot", "hu_HU.ISO-8859-2.x", std::nullopt, std::nullopt, "hu_HU"},
        LanguageCase{"LangWithoutDot", "fr", "hu_HU", std::nullopt, "fr"},
        LanguageCase{"EmptyLangFallsToUserLocale", "", "hu_HU", 1031, "hu_HU"},
        LanguageCase{"UnsetLangFallsToUserLocale", std::nullopt, "pt_BR.UTF-8", 1031, "pt_BR"},
        LanguageCase{"NoUserLocaleFallsToThreadLocale", std::nullopt, std::nullopt, 1049, "ru_RU"},
        LanguageCase{"EmptyUserLocaleFallsToThreadLocale", std::nullopt, "", 2057, "en_UK"},
        LanguageCase{"HungarianThreadLocaleHasNoRow", std::nullopt, std::nullopt, 1038, "C"},
        LanguageCase{"NoThreadLocaleIsC", std::nullopt, std::nullopt, std::nullopt, "C"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ThreadLocaleCodeTest, KeepsThePublishedOddCodesAndGivesCForTheRest)
{
    const std::pair<std::uint32_t, const char*> rows[] = {
        {1032, "gr_GR"}, {1042, "ko_KO"}, {2057, "en_UK"}, {2077, "fi_SE"},   {3082, "es_ES"},
        {4103, "de_LU"}, {1038, "C"},     {0, "C"},        {0xFFFFFFFF, "C"},
    };
    for (const auto& [lcid, code] : rows) {
        EXPECT_EQ(i18n::ThreadLocaleCode(lcid), code) << lcid;
    }
}

} // namespace
} // namespace lantorvix
