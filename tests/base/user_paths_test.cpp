#include "base/posix/user_paths.h"
#include "support/scoped_env.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace lantorvix {
namespace {

struct ConfigHomeCase {
    const char* name;
    std::optional<std::string> xdgConfigHome;
    std::optional<std::string> home;
    std::string expected; // "" : the temporary folder
};

class UserConfigHomeTest : public testing::TestWithParam<ConfigHomeCase> {};

// Every user-folder reader (settings file, lock, autostart, the registry store, KDE's layouts)
// goes through this one rule; a relative XDG value must not make them write below the
// working folder.
TEST_P(UserConfigHomeTest, FollowsTheXdgRule)
{
    const ConfigHomeCase& c = GetParam();
    const test::ScopedEnv xdg("XDG_CONFIG_HOME", c.xdgConfigHome);
    const test::ScopedEnv home("HOME", c.home);
    const std::string expected =
        c.expected.empty() ? std::filesystem::temp_directory_path().string() : c.expected;
    EXPECT_EQ(posix::UserConfigHome().string(), expected);
}

INSTANTIATE_TEST_SUITE_P(Environments, UserConfigHomeTest,
                         testing::Values(ConfigHomeCase{"Xdg", "/x/cfg", "/home/u", "/x/cfg"},
                                         ConfigHomeCase{"RelativeXdg", "cfg", "/home/u", "/home/u/.config"},
                                         ConfigHomeCase{"EmptyXdg", "", "/home/u", "/home/u/.config"},
                                         ConfigHomeCase{"Home", std::nullopt, "/home/u", "/home/u/.config"},
                                         ConfigHomeCase{"RelativeHome", std::nullopt, "home", ""},
                                         ConfigHomeCase{"Neither", std::nullopt, std::nullopt, ""}),
                         [](const testing::TestParamInfo<ConfigHomeCase>& c) { return c.param.name; });

} // namespace
} // namespace lantorvix
