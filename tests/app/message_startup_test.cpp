// A damaged catalogue beside the program: start-up reports it once and the program goes on
// with English messages instead of failing or replacing every later error with its own.
#include "app/message_startup.h"
#include "base/exception.h"
#include "base/str_to_int.h"
#include "i18n/catalogue_fixture.h"
#include "i18n/translate.h"
#include "serial/com_error.h"

#include <gtest/gtest.h>

namespace lantorvix {
namespace {

using test::Bytes;
using test::ScopedEnv;
using test::TempDir;
using test::WriteBytes;

TEST(BuiltInMessages, DamagedCatalogueIsReportedOnceAndMessagesStayUsable)
{
    TempDir dir;
    std::filesystem::create_directories(dir.Catalogue("hu", "default").parent_path());
    WriteBytes(dir.Catalogue("hu", "default"),
               Bytes{'j', 'u', 'n', 'k', 0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                     11,  12,  13,  14,  15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25});
    ScopedEnv lang("LANG", "hu_HU.UTF-8");

    const std::string failure = StartBuiltInMessages(dir.Executable());

    EXPECT_NE(failure.find("This file is not a valid GNU gettext mo file: "), std::string::npos) << failure;
    EXPECT_NE(failure.find("default.mo"), std::string::npos) << failure;
    EXPECT_EQ(i18n::AnsiCodePage(), CodePage::cp1250) << "scanned bytes keep their Hungarian meaning";
    // Later errors carry their own messages.
    EXPECT_STREQ(EComPort(1, 5).what(), "Unable to open com port (win error code: 5)");
    try {
        StrToInt("x");
        ADD_FAILURE() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'x' is not a valid integer value");
    }
    i18n::StopTranslation();
}

} // namespace
} // namespace lantorvix
