#include "app/general_error.h"

#include <gtest/gtest.h>

namespace lantorvix {
namespace {

struct ErrorTextCase {
    std::string message;
    std::string shown;
};

class GeneralErrorText : public ::testing::TestWithParam<ErrorTextCase> {};

TEST_P(GeneralErrorText, AppendsAFullStopOnlyAfterCharactersSortingAfterIt)
{
    EXPECT_EQ(lantorvix::GeneralErrorText(GetParam().message), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Rule, GeneralErrorText,
                         ::testing::Values(ErrorTextCase{"Unable to write to .\\Lantorvix.ini",
                                                         "Unable to write to .\\Lantorvix.ini."},
                                           ErrorTextCase{"Failed to set data for 'Lantorvix'",
                                                         "Failed to set data for 'Lantorvix'"},
                                           ErrorTextCase{"Done.", "Done."}, ErrorTextCase{"Why?", "Why?."},
                                           ErrorTextCase{"code 5", "code 5."},
                                           ErrorTextCase{"Hiba!", "Hiba!"},
                                           ErrorTextCase{"(win error code: 5)", "(win error code: 5)"},
                                           ErrorTextCase{"a/b", "a/b."}, ErrorTextCase{"a-", "a-"},
                                           ErrorTextCase{"nyit\xe1s", "nyit\xe1s."}, ErrorTextCase{"", ""}));

TEST(ApplicationTitle, FileNameCutAtFirstFullStopWithTheRestInLowerCase)
{
    EXPECT_EQ(ApplicationTitle("C:\\Program Files\\Lantorvix\\Lantorvix.exe"), "Lantorvix");
    EXPECT_EQ(ApplicationTitle("C:\\x\\LANTORVIX.EXE"), "Lantorvix");
    EXPECT_EQ(ApplicationTitle("/usr/local/bin/lantorvix"), "lantorvix");
    EXPECT_EQ(ApplicationTitle("/opt/My.Scanner.bin"), "My");
    EXPECT_EQ(ApplicationTitle("relative/LanTorVix"), "Lantorvix");
}

} // namespace
} // namespace lantorvix
