// The Hungarian catalogue that ships beside the program, as the program finds it: compiled
// by msgfmt at build time into locale/hu/LC_MESSAGES/default.mo beside this test executable.
#include "base/codepage.h"
#include "base/format.h"
#include "base/resource_strings.h"
#include "serial/com_error.h"
#include "translation_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace lantorvix {
namespace {

const std::string_view kBuiltIn[] = {
    res::SInvalidInteger, res::SUnableToWrite, res::SFailedToSetData, res::SAssignError,
    res::SMsgDlgCancel,   res::SMsgDlgYes,     res::SMsgDlgNo,        res::SMsgDlgError,
    res::SMsgDlgWarning,  res::SMsgDlgConfirm,
};

std::string Directives(std::string_view text)
{
    std::string found;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '%') {
            found += text[++i];
        }
    }
    return found;
}

class ShippedCatalogueTest : public test::TranslationTest {
protected:
    void SetUp() override
    {
        TranslationTest::SetUp();
        hungarian_.emplace("LANG", "hu_HU.UTF-8");
        i18n::StartTranslation();
        i18n::AddResourceStringDomain(u"cport");
    }
    std::optional<test::ScopedEnv> hungarian_;
};

TEST_F(ShippedCatalogueTest, TranslatesEveryPortMessageAndTheSuffix)
{
    ASSERT_EQ(i18n::AnsiCodePage(), CodePage::cp1250);
    std::vector<std::string> seen;
    for (int code = 1; code <= port_error::Count; ++code) {
        const std::string message = PortMessageSource(code);
        const std::string hungarian = i18n::TranslateTextAnsi(message);
        EXPECT_NE(hungarian, message);
        EXPECT_EQ(hungarian.find('%'), std::string::npos) << hungarian;
        seen.push_back(hungarian);
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end()) << "two port messages read the same";

    const std::string pattern =
        i18n::TranslateTextAnsi("Unable to open com port") + i18n::TranslateTextAnsi(" (win error code: %d)");
    EXPECT_EQ(Format(pattern, {std::int64_t{2}}),
              Utf8ToAnsi("A soros port nem nyitható meg (Windows hibakód: 2)", CodePage::cp1250));
}

TEST_F(ShippedCatalogueTest, TranslatesTheBuiltInMessagesKeepingTheirDirectives)
{
    for (const std::string_view message : kBuiltIn) {
        const std::string hungarian = LoadResString(message);
        EXPECT_NE(hungarian, message);
        EXPECT_EQ(Directives(hungarian), Directives(message)) << hungarian;
    }
    EXPECT_EQ(LoadResString(res::SMsgDlgCancel), Utf8ToAnsi("Mégse", CodePage::cp1250));
    EXPECT_EQ(LoadResString(res::SMsgDlgOK), "OK");
}

} // namespace
} // namespace lantorvix
