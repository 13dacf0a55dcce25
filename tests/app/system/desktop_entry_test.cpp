#include "app/system/posix/desktop_entry.h"

#include <gtest/gtest.h>

namespace lantorvix {
namespace {

TEST(DesktopEntryTest, PlainPathIsWrittenAsIs)
{
    const auto entry = desktop::AutostartEntry("Lantorvix", "/usr/local/bin/lantorvix");
    ASSERT_TRUE(entry);
    EXPECT_EQ(*entry, "[Desktop Entry]\nType=Application\nName=Lantorvix\nExec=/usr/local/bin/lantorvix\n"
                      "TryExec=/usr/local/bin/lantorvix\nTerminal=false\nX-GNOME-Autostart-enabled=true\n");
}

TEST(DesktopEntryTest, AwkwardPathsRoundTrip)
{
    for (const std::string path : {"/opt/My Apps/lantorvix", "/home/a\"b/x", "/tmp/100%/lantorvix",
                                   "/tmp/back\\slash", "/tmp/$HOME`id`", "/tmp/tab\there", "/tmp/ünï"}) {
        const auto entry = desktop::AutostartEntry("Lantorvix", path);
        ASSERT_TRUE(entry) << path;
        EXPECT_EQ(desktop::ExecCommand(*entry), path) << *entry;
    }
}

TEST(DesktopEntryTest, LineBreaksCannotBeWritten)
{
    EXPECT_FALSE(desktop::AutostartEntry("Lantorvix", "/tmp/a\nExec=/bin/evil"));
    EXPECT_FALSE(desktop::AutostartEntry("Lan\ntorvix", "/bin/x"));
}

struct ExecCase {
    const char* text;
    const char* command;
};

class ExecCommandTest : public testing::TestWithParam<ExecCase> {};

TEST_P(ExecCommandTest, ReadsTheCommandOfTheDesktopEntryGroup)
{
    EXPECT_EQ(desktop::ExecCommand(GetParam().text), GetParam().command) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExecCommandTest,
    testing::Values(
        ExecCase{"[Desktop Entry]\nExec=/usr/bin/lantorvix\n", "/usr/bin/lantorvix"},
        ExecCase{"[Desktop Entry]\r\nExec = /usr/bin/lantorvix \r\n", "/usr/bin/lantorvix"},
        ExecCase{"[Desktop Entry]\nExec=\"/opt/a b/lantorvix\"\n", "/opt/a b/lantorvix"},
        ExecCase{"[Desktop Entry]\nExec=/usr/bin/lantorvix --hidden\n", "/usr/bin/lantorvix --hidden"},
        ExecCase{"[Desktop Entry]\nName=x\n", ""},
        ExecCase{"[Desktop Action x]\nExec=/bin/other\n[Desktop Entry]\nExec=/bin/mine\n", "/bin/mine"},
        ExecCase{"Exec=/bin/outside\n", ""}, ExecCase{"", ""},
        ExecCase{"[Desktop Entry]\nExec=\"unterminated\n", "unterminated"}));

} // namespace
} // namespace lantorvix
