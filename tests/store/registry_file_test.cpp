// The value file of the file-backed registry (systems without a registry).
#include "store/posix/registry_file.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace lantorvix {
namespace {

using store::RegistryValue;

TEST(RegistryFileTest, AwkwardNamesAndDataRoundTrip)
{
    const std::vector<RegistryValue> values = {
        {"Port", std::string("COM3")},
        {"tab\tname", std::string("line\nbreak\r%25 100%")},
        {"nul", std::string("a\0b", 3)},
        {"Buffer.OutputSize", std::int32_t{-2147483647 - 1}},
        {"\xC3\xA9kezet", std::string("\xE9\xFF")},
    };
    const std::string text = store::SerializeRegistryValues(values);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5) << "one line per value";
    const auto back = store::ParseRegistryValues(text);
    ASSERT_EQ(back.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(back[i].name, values[i].name);
        EXPECT_EQ(back[i].data, values[i].data) << values[i].name;
    }
}

TEST(RegistryFileTest, DamagedLinesAreDroppedAndTheRestKept)
{
    const std::string text = std::string("junk without tabs\n"
                                         "sz\tgood\tvalue\n"
                                         "dword\tbad\tnot-a-number\n"
                                         "qword\tother\t1\n"
                                         "sz\tbroken%\tx\n"
                                         "sz\t\tno name\n"
                                         "\x00\x01\xFF\t\t\n",
                                         100) +
                             "dword\tn\t42";
    const auto values = store::ParseRegistryValues(text);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].name, "good");
    EXPECT_EQ(std::get<std::string>(values[0].data), "value");
    EXPECT_EQ(std::get<std::int32_t>(values[1].data), 42);
}

TEST(RegistryFileTest, KeyNamesBecomeSafeFolderNames)
{
    EXPECT_EQ(store::KeyFolderName("Software"), "software");
    EXPECT_EQ(store::KeyFolderName(".."), "%2E.");
    EXPECT_EQ(store::KeyFolderName(".values"), "%2Evalues");
    EXPECT_EQ(store::KeyFolderName("a/b:c%"), "a%2Fb%3Ac%25");
}

} // namespace
} // namespace lantorvix
