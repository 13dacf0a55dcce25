#include "base/codepage.h"
#include "catalogue_fixture.h"
#include "fake_translation_platform.h"
#include "i18n/translation_error.h"
#include "i18n/translation_instance.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace lantorvix {
namespace {

using i18n::ETranslationError;
using i18n::MapFileError;
using i18n::TTranslationInstance;

const std::string kSep(1, static_cast<char>(std::filesystem::path::preferred_separator));
const std::string kBase = kSep + "opt" + kSep + "lantorvix" + kSep + "locale";

std::string CatalogueFile(const std::string& language, const std::string& domain = "default")
{
    return kBase + kSep + language + kSep + "LC_MESSAGES" + kSep + domain + ".mo";
}

test::Bytes Catalogue(const std::string& translationOfCancel)
{
    return test::BuildCatalogue({{"Cancel", translationOfCancel}, {"Lines\nhere", "Zeilen\nhier"}});
}

std::string Translate(TTranslationInstance& instance, std::u16string_view text,
                      std::u16string_view domain = u"default")
{
    return Utf16ToUtf8(instance.TranslateInDomain(domain, text));
}

struct SearchCase {
    const char* name;
    bool longFile;
    bool shortFile;
    const char* expected;
};

class CatalogueSearchTest : public ::testing::TestWithParam<SearchCase> {};

TEST_P(CatalogueSearchTest, LongCodeFirstThenItsFirstTwoLettersAndAMissingFileOnlyOnce)
{
    test::FakeTranslationPlatform platform;
    if (GetParam().longFile) {
        platform.AddFile(CatalogueFile("de_DE"), Catalogue("Abbrechen (de_DE)"));
    }
    if (GetParam().shortFile) {
        platform.AddFile(CatalogueFile("de"), Catalogue("Abbrechen (de)"));
    }
    TTranslationInstance instance(kBase, "de_DE", platform);
    EXPECT_EQ(Translate(instance, u"Cancel"), GetParam().expected);
    const int searches = platform.ExistsCalls();
    EXPECT_EQ(Translate(instance, u"Cancel"), GetParam().expected);
    EXPECT_EQ(Translate(instance, u"Other"), "Other");
    EXPECT_EQ(platform.ExistsCalls(), searches);
    EXPECT_EQ(instance.Domain(u"default").OpenPending(), GetParam().longFile || GetParam().shortFile);
}

INSTANTIATE_TEST_SUITE_P(Cases, CatalogueSearchTest,
                         ::testing::Values(SearchCase{"LongOnly", true, false, "Abbrechen (de_DE)"},
                                           SearchCase{"ShortOnly", false, true, "Abbrechen (de)"},
                                           SearchCase{"BothTakesLong", true, true, "Abbrechen (de_DE)"},
                                           SearchCase{"NeitherPassesThrough", false, false, "Cancel"}),
                         [](const auto& p) { return std::string(p.param.name); });

struct FailureCase {
    const char* name;
    std::function<void(test::FakeTranslationPlatform&, const std::string& file)> arrange;
    std::u16string text;
    std::string message;
};

class TranslationFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(TranslationFailureTest, RaisesTheMessageReleasesWhatItOpenedAndRepeatsAtTheNextLookup)
{
    test::FakeTranslationPlatform platform;
    const std::string file = CatalogueFile("hu_HU");
    GetParam().arrange(platform, file);
    TTranslationInstance instance(kBase, "hu_HU", platform);
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            instance.TranslateText(GetParam().text);
            FAIL() << "no error";
        } catch (const ETranslationError& e) {
            EXPECT_EQ(e.what(), GetParam().message);
        }
        EXPECT_EQ(platform.LiveMappings(), instance.Domain(u"default").IsOpen() ? 1 : 0);
    }
}

const std::string kHuFile = CatalogueFile("hu_HU");

INSTANTIATE_TEST_SUITE_P(
    Cases, TranslationFailureTest,
    ::testing::Values(
        FailureCase{"CannotOpen",
                    [](auto& p, const auto& f) {
                        p.AddFile(f, Catalogue("x"));
                        p.FailMap(f, MapFileError::Stage::open, 2);
                    },
                    u"Cancel", "Cannot open file " + kHuFile},
        FailureCase{"CannotCreateMap",
                    [](auto& p, const auto& f) {
                        p.AddFile(f, Catalogue("x"));
                        p.FailMap(f, MapFileError::Stage::createMap, 2);
                    },
                    u"Cancel", "Cannot create memory map on file " + kHuFile},
        FailureCase{"CannotMapView",
                    [](auto& p, const auto& f) {
                        p.AddFile(f, Catalogue("x"));
                        p.FailMap(f, MapFileError::Stage::mapView, 2);
                    },
                    u"Cancel", "Cannot map file " + kHuFile + " into memory. Reason: Access denied"},
        FailureCase{"NotAMoFile",
                    [](auto& p, const auto& f) {
                        p.AddFile(f, {'#', ' ', 'p', 'o', '\n', 0, 0, 0});
                    },
                    u"Cancel", "This file is not a valid GNU gettext mo file: " + kHuFile},
        FailureCase{"EmptyTranslation",
                    [](auto& p, const auto& f) {
                        p.AddFile(f, test::BuildCatalogue({{"Cancel", ""}}));
                    },
                    u"Cancel",
                    "Error: Could not translate Cancel. Probably because the mo file doesn't contain utf-8 "
                    "encoded translations."},
        FailureCase{"Latin2Translation",
                    [](auto& p, const auto& f) {
                        p.AddFile(f, test::BuildCatalogue({{"M\xc3\xa9gse", "M\xe9gse \xfb"}}));
                    },
                    u"M\u00e9gse",
                    // The text in the message is 8-bit, in Hungarian's code page 1250.
                    "Error: Could not translate M\xe9gse. Probably because the mo file doesn't contain utf-8 "
                    "encoded translations."}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(TranslationInstanceTest, AFailedOpenIsRetriedAndSucceedsOnceTheFileIsUsable)
{
    test::FakeTranslationPlatform platform;
    platform.AddFile(kHuFile, Catalogue("M\xc3\xa9gse"));
    platform.FailMap(kHuFile, MapFileError::Stage::open, 1);
    TTranslationInstance instance(kBase, "hu_HU", platform);
    EXPECT_THROW(instance.TranslateText(u"Cancel"), ETranslationError);
    EXPECT_FALSE(instance.Domain(u"default").IsOpen());
    EXPECT_TRUE(instance.Domain(u"default").OpenPending());
    EXPECT_EQ(Translate(instance, u"Cancel"), "M\xc3\xa9gse");
    EXPECT_EQ(platform.MapCalls(), 2);
    EXPECT_EQ(platform.LiveMappings(), 1);
}

TEST(TranslationInstanceTest, UntranslatedTextsComeBackExactlyAsGiven)
{
    test::FakeTranslationPlatform platform;
    platform.AddFile(kHuFile, Catalogue("M\xc3\xa9gse"));
    TTranslationInstance instance(kBase, "hu_HU", platform);
    for (const std::u16string text :
         {u"", u"lone\rCR", u"bare\nLF", u"CR LF\r\n", u"\u00e1rv\u00edz", u"Cancel "}) {
        EXPECT_EQ(instance.TranslateText(text), text);
        EXPECT_EQ(instance.TranslateInDomain(u"cport", text), text);
    }
}

TEST(TranslationInstanceTest, LineEndsFoundUnderLfMsgidAndReturnedAsCrLf)
{
    test::FakeTranslationPlatform platform;
    platform.AddFile(kHuFile, Catalogue("x"));
    TTranslationInstance instance(kBase, "hu_HU", platform);
    EXPECT_EQ(Translate(instance, u"Lines\r\nhere"), "Zeilen\r\nhier");
    EXPECT_EQ(Translate(instance, u"Lines\nhere"), "Zeilen\r\nhier");
    EXPECT_EQ(Translate(instance, u"Lines\r\rhere\r\n"), "Lines\r\rhere\r\n");
}

TEST(TranslationInstanceTest, DomainsAreCreatedOnFirstUseAndNamedWithoutRegardToCase)
{
    test::FakeTranslationPlatform platform;
    platform.AddFile(CatalogueFile("hu", "cport"), Catalogue("cport: M\xc3\xa9gse"));
    TTranslationInstance instance(kBase, "hu_HU", platform);
    EXPECT_EQ(instance.CurrentDomain(), u"default");
    EXPECT_EQ(&instance.Domain(u"CPort"), &instance.Domain(u"cport"));
    EXPECT_EQ(Translate(instance, u"Cancel", u"CPORT"), "cport: M\xc3\xa9gse");
    EXPECT_EQ(Translate(instance, u"Cancel"), "Cancel");
    EXPECT_EQ(instance.Domain(u"cport").CatalogueFileName("hu"), CatalogueFile("hu", "cport"));
}

TEST(TranslationInstanceTest, AnEmptyFileOnDiskCannotBeMapped)
{
    test::TempDir dir;
    const auto file = dir.Catalogue("hu", "default");
    test::WriteBytes(file, {});
    auto platform = i18n::MakeTranslationPlatform();
    TTranslationInstance instance((dir.Path() / "locale").string(), "hu_HU", *platform);
    try {
        instance.TranslateText(u"Cancel");
        FAIL() << "no error";
    } catch (const ETranslationError& e) {
        EXPECT_EQ(e.what(), "Cannot create memory map on file " + file.string());
    }
}

TEST(TranslationInstanceTest, ADirectoryNamedLikeTheCatalogueIsNoCatalogue)
{
    test::TempDir dir;
    std::filesystem::create_directories(dir.Catalogue("hu_HU", "default"));
    test::WriteBytes(dir.Catalogue("hu", "default"), test::ReadBytes(test::TestCatalogue("sample.mo")));
    auto platform = i18n::MakeTranslationPlatform();
    TTranslationInstance instance((dir.Path() / "locale").string(), "hu_HU", *platform);
    EXPECT_EQ(Translate(instance, u"Zebra"), "Zebra (de)");
}

} // namespace
} // namespace lantorvix
