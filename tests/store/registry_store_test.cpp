#include "store/registry_store.h"

#include "store/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

namespace lantorvix {
namespace {

// Each test works in a key of its own below HKEY_CURRENT_USER\Software\LantorvixTest; away
// from Windows the file-backed store is moved into a temp folder as well.
class RegistryStoreTest : public testing::Test {
protected:
    void SetUp() override
    {
#if defined(_WIN32)
        _putenv_s("XDG_CONFIG_HOME", dir.Path().string().c_str());
#else
        setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
#endif
        std::random_device random;
        key = "\\Software\\LantorvixTest\\" + std::to_string(random());
    }
    void TearDown() override
    {
        RegistryStore().DeleteKey(key);
    }

    test::TempDir dir;
    std::string key;
};

TEST_F(RegistryStoreTest, StringsAndIntegersRoundTripWithCaseInsensitiveNames)
{
    RegistryStore reg;
    ASSERT_TRUE(reg.OpenKey(key, true));
    reg.WriteString("Port", "COM3");
    reg.WriteInteger("Buffer.OutputSize", 4096);
    reg.WriteInteger("Negative", -1);
    reg.WriteString("Odd text", std::string("tab\there\nline %41 \xE9", 19));
    reg.CloseKey();

    RegistryStore again;
    ASSERT_TRUE(again.OpenKeyReadOnly(key.substr(1)));
    EXPECT_EQ(again.ReadString("PORT"), "COM3");
    EXPECT_EQ(again.ReadInteger("buffer.outputsize"), 4096);
    EXPECT_EQ(again.ReadInteger("Negative"), -1);
    EXPECT_EQ(again.ReadString("Odd text"), std::string("tab\there\nline %41 \xE9", 19));
    EXPECT_TRUE(again.ValueExists("port"));
    auto names = again.GetValueNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Buffer.OutputSize", "Negative", "Odd text", "Port"}));
}

TEST_F(RegistryStoreTest, RewritingAValueKeepsOneValue)
{
    RegistryStore reg;
    ASSERT_TRUE(reg.OpenKey(key, true));
    reg.WriteString("Name", "a");
    reg.WriteString("NAME", "b");
    EXPECT_EQ(reg.GetValueNames().size(), 1u);
    EXPECT_EQ(reg.ReadString("name"), "b");
    reg.WriteInteger("name", 5);
    EXPECT_EQ(reg.ReadInteger("Name"), 5);
}

TEST_F(RegistryStoreTest, MissingValuesFollowTheRegistryRules)
{
    RegistryStore reg;
    ASSERT_TRUE(reg.OpenKey(key, true));
    reg.WriteString("Text", "x");
    reg.WriteInteger("Number", 1);
    EXPECT_EQ(reg.ReadString("Absent"), "");
    EXPECT_FALSE(reg.ValueExists("Absent"));
    struct Case {
        const char* name;
        bool integer;
        const char* message;
    };
    for (const Case c : {Case{"Absent", true, "Failed to get data for 'Absent'"},
                         Case{"Text", true, "Invalid data type for 'Text'"},
                         Case{"Number", false, "Invalid data type for 'Number'"}}) {
        try {
            if (c.integer) {
                (void)reg.ReadInteger(c.name);
            } else {
                (void)reg.ReadString(c.name);
            }
            ADD_FAILURE() << c.name << ": no exception";
        } catch (const ERegistryException& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
    }
}

TEST_F(RegistryStoreTest, KeysOpenCreateAndDelete)
{
    RegistryStore reg;
    EXPECT_FALSE(reg.KeyExists(key));
    EXPECT_FALSE(reg.OpenKey(key, false));
    EXPECT_FALSE(reg.OpenKeyReadOnly(key));
    EXPECT_FALSE(reg.HasOpenKey());
    ASSERT_TRUE(reg.OpenKey(key + "\\Sub", true));
    EXPECT_TRUE(reg.HasOpenKey());
    reg.WriteString("v", "1");
    EXPECT_TRUE(reg.KeyExists(key));
    EXPECT_TRUE(reg.DeleteValue("V"));
    EXPECT_FALSE(reg.DeleteValue("V"));
    reg.CloseKey();
    EXPECT_TRUE(reg.DeleteKey(key));
    EXPECT_FALSE(reg.KeyExists(key + "\\Sub"));
}

TEST_F(RegistryStoreTest, WritesFailWithoutAWritableKey)
{
    RegistryStore reg;
    EXPECT_THROW(reg.WriteString("v", "1"), ERegistryException);
    ASSERT_TRUE(reg.OpenKey(key, true));
    reg.WriteString("v", "1");
    ASSERT_TRUE(reg.OpenKeyReadOnly(key));
    try {
        reg.WriteString("Lantorvix", "x");
        FAIL() << "no exception";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(std::string(e.what()), "Failed to set data for 'Lantorvix'");
    }
    EXPECT_EQ(reg.ReadString("v"), "1");
}

TEST_F(RegistryStoreTest, RootsAreSeparate)
{
    RegistryStore user(RegistryRoot::CurrentUser);
    ASSERT_TRUE(user.OpenKey(key, true));
    user.WriteString("v", "user");
    RegistryStore machine(RegistryRoot::LocalMachine);
    if (machine.OpenKey(key, false)) {
        EXPECT_EQ(machine.ReadString("v"), "");
    }
    EXPECT_EQ(machine.Root(), RegistryRoot::LocalMachine);
}

} // namespace
} // namespace lantorvix
