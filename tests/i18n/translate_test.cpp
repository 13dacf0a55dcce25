#include "base/exception.h"
#include "base/resource_strings.h"
#include "base/str_to_int.h"
#include "i18n/translation_error.h"
#include "translation_fixture.h"

#include <gtest/gtest.h>

#include <cctype>

namespace lantorvix {
namespace {

using i18n::AddResourceStringDomain;
using i18n::ResourceStringDomainList;
using i18n::StartTranslation;
using i18n::StopTranslation;
using i18n::TranslateTextAnsi;

using TranslateTest = test::TranslationTest;

const char* const kPortMessage = "Unable to open com port";
const char* const kSuffix = " (win error code: %d)";

TEST_F(TranslateTest, BeforeStartUpEveryTextPassesThrough)
{
    Install("sample.mo", "de", "default");
    test::ScopedEnv lang("LANG", "de_DE");
    EXPECT_EQ(i18n::TranslateText(u"Cancel"), u"Cancel");
    EXPECT_EQ(i18n::TranslateInDomain(u"default", u"Cancel"), u"Cancel");
    EXPECT_EQ(TranslateTextAnsi(kPortMessage), kPortMessage);
    EXPECT_EQ(LoadResString(res::SMsgDlgCancel), "Cancel");
    EXPECT_EQ(i18n::LanguageCode(), "");
}

TEST_F(TranslateTest, StartUpOrderDefaultFirstThenThePortsDomainThenPlainAgainAtExit)
{
    Install("order_default.mo", "de", "default");
    Install("order_cport.mo", "de", "cport");
    test::ScopedEnv lang("LANG", "de_DE.UTF-8");

    StartTranslation(dir_.Executable());
    EXPECT_EQ(i18n::LanguageCode(), "de_DE");
    EXPECT_EQ(ResourceStringDomainList(), std::vector<std::u16string>{u"default"});
    EXPECT_EQ(LoadResString(res::SMsgDlgCancel), "default: Cancel");
    EXPECT_EQ(LoadResString(res::SMsgDlgYes), "&Yes");

    // The serial port's start-up.
    AddResourceStringDomain(u"cport");
    EXPECT_EQ(ResourceStringDomainList(), (std::vector<std::u16string>{u"default", u"cport"}));
    EXPECT_EQ(LoadResString(res::SMsgDlgYes), "cport: Yes");
    EXPECT_EQ(LoadResString(res::SMsgDlgCancel), "default: Cancel");
    EXPECT_EQ(TranslateTextAnsi(kPortMessage), "default: port");

    StopTranslation();
    EXPECT_EQ(LoadResString(res::SMsgDlgCancel), "Cancel");
    EXPECT_EQ(TranslateTextAnsi(kPortMessage), kPortMessage);
    EXPECT_EQ(ResourceStringDomainList(), std::vector<std::u16string>{u"default"});
}

TEST_F(TranslateTest, ACatalogueOnlyForThePortsDomainNeverTranslatesThePortsMessages)
{
    Install("cport_only.mo", "de_DE", "cport");
    test::ScopedEnv lang("LANG", "de_DE.UTF-8");
    StartTranslation(dir_.Executable());
    AddResourceStringDomain(u"cport");

    EXPECT_EQ(TranslateTextAnsi(kPortMessage), kPortMessage);
    EXPECT_EQ(TranslateTextAnsi(kSuffix), kSuffix);
    EXPECT_EQ(i18n::TranslateInDomain(u"cport", u"Unable to open com port"), u"cport: port");
    EXPECT_EQ(LoadResString(res::SInvalidInteger), "cport: '%s' ist keine Zahl");
    try {
        StrToInt("12a");
        FAIL() << "converted";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "cport: '12a' ist keine Zahl");
    }
}

struct DirectoryCase {
    const char* name;
    const char* lang;
    bool longDir;
    bool shortDir;
    const char* expected;
};

class LanguageDirectoryTest : public test::TranslationTest,
                              public ::testing::WithParamInterface<DirectoryCase> {};

TEST_P(LanguageDirectoryTest, LangPicksTheLongDirectoryThenTheShortOne)
{
    const auto& c = GetParam();
    // Two catalogues that tell themselves apart.
    if (c.longDir) {
        Install("order_default.mo", "de_DE", "default");
    }
    if (c.shortDir) {
        Install("sample.mo", "de", "default");
    }
    test::ScopedEnv lang("LANG", c.lang);
    StartTranslation(dir_.Executable());
    EXPECT_EQ(TranslateTextAnsi("Cancel"), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LanguageDirectoryTest,
    ::testing::Values(DirectoryCase{"Long", "de_DE.UTF-8", true, true, "default: Cancel"},
                      DirectoryCase{"Short", "de_DE.UTF-8", false, true, "Abbrechen"},
                      DirectoryCase{"ShortCodeOnly", "de", false, true, "Abbrechen"},
                      DirectoryCase{"OtherLanguage", "fr_FR.UTF-8", true, true, "Cancel"},
                      DirectoryCase{"None", "de_DE.UTF-8", false, false, "Cancel"}),
    [](const auto& p) { return std::string(p.param.name); });

#ifndef _WIN32
TEST_F(TranslateTest, WithoutLangTheMessagesLocaleChooses)
{
    Install("sample.mo", "de", "default");
    test::ScopedEnv messages("LC_MESSAGES", "de_AT.UTF-8");
    StartTranslation(dir_.Executable());
    EXPECT_EQ(i18n::LanguageCode(), "de_AT");
    EXPECT_EQ(TranslateTextAnsi("Cancel"), "Abbrechen");
    StopTranslation();
    test::ScopedEnv all("LC_ALL", "fr_FR");
    StartTranslation(dir_.Executable());
    EXPECT_EQ(i18n::LanguageCode(), "fr_FR");
    EXPECT_EQ(TranslateTextAnsi("Cancel"), "Cancel");
}
#else
TEST_F(TranslateTest, WithoutLangTheUsersLocaleChooses)
{
    StartTranslation(dir_.Executable());
    const std::string code = i18n::LanguageCode();
    ASSERT_EQ(code.size(), 5u) << code;
    EXPECT_TRUE(std::islower(code[0]) && std::islower(code[1]) && code[2] == '_' && std::isupper(code[3]) &&
                std::isupper(code[4]))
        << code;
}
#endif

TEST_F(TranslateTest, WithoutALocaleDirectoryNothingChangesAndNothingFails)
{
    test::ScopedEnv lang("LANG", "hu_HU.UTF-8");
    StartTranslation(dir_.Executable());
    AddResourceStringDomain(u"cport");
    EXPECT_EQ(TranslateTextAnsi(kPortMessage), kPortMessage);
    EXPECT_EQ(TranslateTextAnsi("\xe1rv\xedz\r\nt\xfbr\xf5"), "\xe1rv\xedz\r\nt\xfbr\xf5");
    EXPECT_EQ(LoadResString(res::SAssignError), res::SAssignError);
    EXPECT_EQ(i18n::AnsiCodePage(), CodePage::cp1250);
}

TEST_F(TranslateTest, ADamagedDefaultCatalogueFailsAtTheFirstTranslationNotAtStartUp)
{
    const auto file = dir_.Catalogue("hu", "default");
    auto bytes = test::ReadBytes(test::TestCatalogue("sample.mo"));
    bytes.resize(bytes.size() / 2);
    test::WriteBytes(file, bytes);
    test::ScopedEnv lang("LANG", "hu_HU.UTF-8");

    ASSERT_NO_THROW(StartTranslation(dir_.Executable()));
    const std::string message = "This file is not a valid GNU gettext mo file: " + file.string();
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            TranslateTextAnsi(kPortMessage);
            FAIL() << "no error";
        } catch (const i18n::ETranslationError& e) {
            EXPECT_EQ(e.what(), message);
        }
    }
    try {
        LoadResString(res::SMsgDlgOK);
        FAIL() << "no error";
    } catch (const i18n::ETranslationError& e) {
        EXPECT_EQ(e.what(), message);
    }
    // Repaired in place: the next lookup opens it.
    test::WriteBytes(file, test::ReadBytes(test::TestCatalogue("sample.mo")));
    EXPECT_EQ(TranslateTextAnsi(kPortMessage), "COM-Port kann nicht ge\xf6"
                                               "ffnet werden");
}

} // namespace
} // namespace lantorvix
