#include "base/exception.h"
#include "base/resource_strings.h"
#include "base/str_to_int.h"

#include <gtest/gtest.h>

namespace lantorvix {
namespace {

TEST(StrToInt, AcceptsDecimalSignedAndHexadecimalForms)
{
    const std::pair<const char*, std::int32_t> cases[] = {
        {"0", 0},
        {"3", 3},
        {"  42", 42},
        {"+7", 7},
        {"-1", -1},
        {"$10", 16},
        {"X1f", 31},
        {"x1F", 31},
        {"0X10", 16},
        {"0x10", 16},
        {"-$10", -16},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"$FFFFFFFF", -1},
        {"$7FFFFFFF", INT32_MAX},
        {"00012", 12},
    };
    for (const auto& [text, value] : cases) {
        auto got = TryStrToInt(text);
        ASSERT_TRUE(got.has_value()) << text;
        EXPECT_EQ(*got, value) << text;
    }
}

TEST(StrToInt, RejectsEverythingElse)
{
    for (const char* text : {"", " ", "+", "-", "$", "0x", "1 ", "1a", "12.5", "2147483648", "-2147483649",
                             "$100000000", "--1", "+-1", "1,000", "\t1", "X"}) {
        EXPECT_FALSE(TryStrToInt(text).has_value()) << '"' << text << '"';
    }
}

TEST(StrToInt, ThrowsConvertErrorWithTheBuiltInMessage)
{
    try {
        StrToInt("X");
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'X' is not a valid integer value");
    }
}

TEST(StrToInt, MessageGoesThroughTheInstalledLoader)
{
    SetResourceStringLoader([](std::string_view id) {
        return id == res::SInvalidInteger ? std::string("'%s' nem érvényes egész szám") : std::string(id);
    });
    try {
        StrToInt("abc");
        ADD_FAILURE() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'abc' nem érvényes egész szám");
    }
    SetResourceStringLoader(nullptr);
}

} // namespace
} // namespace lantorvix
