// The port's message table is filled once per process, so this runs in a program of its own.
#include <gtest/gtest.h>

#include "i18n/catalogue_fixture.h"
#include "i18n/translate.h"
#include "serial/com_error.h"

namespace lantorvix {
namespace {

TEST(SerialMessages, StartUpTranslatesTheTableAndTheSuffixIsFormattedSafely)
{
    test::TempDir dir;
    test::ScopedEnv lang("LANG", "hu_HU");
    test::ScopedEnv all("LC_ALL", std::nullopt);
    test::ScopedEnv messages("LC_MESSAGES", std::nullopt);
    test::WriteBytes(dir.Catalogue("hu", "default"),
                     test::BuildCatalogue({
                         {"", "Content-Type: text/plain; charset=UTF-8\n"},
                         {" (win error code: %d)", " (Windows-hibak\u00f3d: %d)"},
                         {"Cannot set property while connected", "100% %s nem \u00e1ll\u00edthat\u00f3"},
                         {"Unable to open com port", "A port nem nyithat\u00f3 meg"},
                     }));
    i18n::StartTranslation(dir.Executable());
    InitializeSerialMessages();
    InitializeSerialMessages(); // once only
    EXPECT_EQ(i18n::ResourceStringDomainList(), (std::vector<std::u16string>{u"default", u"cport"}));

    // 8-bit texts in the language's code page (1250): ó 0xF3, á 0xE1, í 0xED.
    EXPECT_STREQ(EComPort(port_error::OpenFailed, 2).what(), "A port nem nyithat\xF3 meg (Windows-hibak\xF3"
                                                             "d: 2)");
    EXPECT_STREQ(EComPort(port_error::ConnChangeProp).what(), "100% %s nem \xE1ll\xEDthat\xF3");
    // Only %d takes the code; the other directives of a translated text stay text.
    EXPECT_STREQ(EComPort(port_error::ConnChangeProp, 5).what(),
                 "100% %s nem \xE1ll\xEDthat\xF3 (Windows-hibak\xF3"
                 "d: 5)");
    // Untranslated texts stay English.
    EXPECT_STREQ(EComPort(port_error::ReadFailed, 6).what(), "ReadFile function failed (Windows-hibak\xF3"
                                                             "d: 6)");
    i18n::StopTranslation();
}

} // namespace
} // namespace lantorvix
