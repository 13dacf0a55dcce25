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

TEST(ThreadLocaleCodeTest, UsesTheTableAsPublished)
{
    const std::pair<std::uint32_t, const char*> rows[] = {
        {1030, "da_DK"}, {1031, "de_DE"}, {1032, "gr_GR"}, {1033, "en_US"}, {1034, "es_ES"},
        {1035, "fi_FI"}, {1036, "fr_FR"}, {1039, "is_IS"}, {1040, "it_IT"}, {1042, "ko_KO"},
        {1043, "nl_NL"}, {1044, "no_NO"}, {1045, "pl_PL"}, {1046, "pt_BR"}, {1049, "ru_RU"},
        {1053, "sv_SE"}, {2057, "en_UK"}, {2060, "fr_BE"}, {2067, "nl_BE"}, {2068, "nn_NO"},
        {2070, "pt_PT"}, {2077, "fi_SE"}, {3082, "es_ES"}, {3084, "fr_CA"}, {4103, "de_LU"},
        {1038, "C"},     {1029, "C"},     {0, "C"},        {2052, "C"},     {0xFFFFFFFF, "C"},
    };
    for (const auto& [lcid, code] : rows) {
        EXPECT_EQ(i18n::ThreadLocaleCode(lcid), code) << lcid;
    }
}

} // namespace
} // namespace lantorvix
