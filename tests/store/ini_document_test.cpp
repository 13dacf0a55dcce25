#include "store/ini_document.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace lantorvix {
namespace {

using store::IniDocument;

// Literal bytes, NULs included.
template <std::size_t N> std::string Bytes(const char (&literal)[N])
{
    return std::string(literal, N - 1);
}

struct ReadCase {
    const char* label;
    std::string text;
    const char* section;
    const char* key;
    std::optional<std::string> expected;
};

class IniReadTest : public testing::TestWithParam<ReadCase> {};

TEST_P(IniReadTest, FindsValueLikePrivateProfile)
{
    const auto& c = GetParam();
    EXPECT_EQ(IniDocument(c.text).Value(c.section, c.key), c.expected) << c.label;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniReadTest,
    testing::Values(
        ReadCase{"plain", "[PORT]\nPortNum=3\n", "PORT", "PortNum", "3"},
        ReadCase{"section case", "[port]\nPortNum=3\n", "PORT", "PortNum", "3"},
        ReadCase{"key case", "[PORT]\nportnum=3\n", "Port", "PORTNUM", "3"},
        ReadCase{"blanks around", "  [ PORT ]  \n  PortNum  =  3  \n", "PORT", "PortNum", "3"},
        ReadCase{"tabs trimmed", "[PORT]\n\tPortNum\t=\t3\t\r\n", "PORT", "PortNum", "3"},
        ReadCase{"CR LF", "[PORT]\r\nPortNum=12\r\nBaudRate=4800\r\n", "PORT", "BaudRate", "4800"},
        ReadCase{"double quotes", "[A]\nk=\"  x y  \"\n", "A", "k", "  x y  "},
        ReadCase{"single quotes", "[A]\nk='v'\n", "A", "k", "v"},
        ReadCase{"one pair only", "[A]\nk=\"\"v\"\"\n", "A", "k", "\"v\""},
        ReadCase{"mismatched quotes kept", "[A]\nk=\"v'\n", "A", "k", "\"v'"},
        ReadCase{"lone quote kept", "[A]\nk=\"\n", "A", "k", "\""},
        ReadCase{"empty value", "[A]\nk=\n", "A", "k", ""},
        ReadCase{"equals in value", "[A]\nk=a=b\n", "A", "k", "a=b"},
        ReadCase{"missing key", "[A]\nk=1\n", "A", "j", std::nullopt},
        ReadCase{"missing section", "[A]\nk=1\n", "B", "k", std::nullopt},
        ReadCase{"key of other section", "[A]\nk=1\n[B]\nj=2\n", "A", "j", std::nullopt},
        ReadCase{"entry before any section", "k=1\n[A]\n", "A", "k", std::nullopt},
        ReadCase{"comment line", "[A]\n;k=1\n", "A", ";k", std::nullopt},
        ReadCase{"line without equals", "[A]\nk\n", "A", "k", std::nullopt},
        ReadCase{"duplicate key: first wins", "[A]\nk=1\nk=2\n", "A", "k", "1"},
        ReadCase{"duplicate section: first wins", "[A]\nk=1\n[A]\nk=2\n", "A", "k", "1"},
        ReadCase{"duplicate section: second searched", "[A]\nj=1\n[a]\nk=2\n", "A", "k", "2"},
        ReadCase{"no newline at end", "[A]\nk=last", "A", "k", "last"},
        ReadCase{"UTF-8 BOM", "\xEF\xBB\xBF[A]\nk=1\n", "A", "k", "1"},
        ReadCase{"unclosed section header", "[A\nk=1\n", "A", "k", "1"},
        ReadCase{"bytes 128-255 and NUL", Bytes("[A]\nk=\xE9\xFF\0x\n"), "A", "k", Bytes("\xE9\xFF\0x")},
        ReadCase{"binary junk", Bytes("\x01\x02[\xFF]\n=\n[A]\x00\n[A]\nk=v\n"), "A", "k", "v"}),
    [](const testing::TestParamInfo<ReadCase>& param) { return "case" + std::to_string(param.index); });

TEST(IniDocumentTest, LongLineIsReadWhole)
{
    const std::string big(1 << 20, 'x');
    IniDocument doc("[A]\nk=" + big + "\nj=2");
    EXPECT_EQ(doc.Value("A", "k"), big);
    EXPECT_EQ(doc.Value("A", "j"), "2");
}

struct EditCase {
    const char* label;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

class IniEditTest : public testing::TestWithParam<EditCase> {};

TEST_P(IniEditTest, ChangesOnlyWhatItMust)
{
    const auto& c = GetParam();
    IniDocument doc(c.before);
    doc.SetValue(c.section, c.key, c.value);
    EXPECT_EQ(doc.Text(), c.after) << c.label;
    EXPECT_EQ(doc.Value(c.section, c.key), c.value) << c.label;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniEditTest,
    testing::Values(
        EditCase{"empty text", "", "PORT", "PortNum", "3",
                 std::string("[PORT]") + std::string(IniDocument::DefaultLineBreak()) + "PortNum=3" +
                     std::string(IniDocument::DefaultLineBreak())},
        EditCase{"replace keeps spelling and the rest", "; my comment\r\n[port]\r\n  portnum = 3 \r\nx=1\r\n",
                 "PORT", "PortNum", "12", "; my comment\r\n[port]\r\n  portnum = 12\r\nx=1\r\n"},
        EditCase{"key added after last entry, before blank line", "[A]\nk=1\n\n[B]\nj=2\n", "a", "n", "v",
                 "[A]\nk=1\nn=v\n\n[B]\nj=2\n"},
        EditCase{"key added after the header of an empty section", "[A]\n[B]\n", "A", "k", "v",
                 "[A]\nk=v\n[B]\n"},
        EditCase{"key added where the file lacks a final newline", "[A]\nk=1", "A", "j", "2",
                 "[A]\nk=1\nj=2\n"},
        EditCase{"section added at the end with the file's CR LF", "[A]\r\nk=1\r\n", "B", "j", "2",
                 "[A]\r\nk=1\r\n[B]\r\nj=2\r\n"},
        EditCase{"section added after a last line without newline", "[A]\nk=1", "B", "j", "2",
                 "[A]\nk=1\n[B]\nj=2\n"},
        EditCase{"key added after a last line that ends in a lone CR", "[A]\r\nk=1\r", "A", "j", "2",
                 "[A]\r\nk=1\r\nj=2\r\n"},
        EditCase{"section added after a last line that ends in a lone CR", "[A]\r\nk=1\r", "B", "j", "2",
                 "[A]\r\nk=1\r\n[B]\r\nj=2\r\n"},
        EditCase{"unnamed section", "[A]\nk=1\n[]\n", "", "k", "2", "[A]\nk=1\n[]\nk=2\n"},
        EditCase{"first of duplicate keys changed", "[A]\nk=1\nk=2\n", "A", "k", "9", "[A]\nk=9\nk=2\n"},
        EditCase{"BOM kept", "\xEF\xBB\xBF[A]\nk=1\n", "A", "k", "2", "\xEF\xBB\xBF[A]\nk=2\n"},
        EditCase{"junk kept byte for byte", Bytes("\x01\xFE\xFF junk\n[A]\n\x7F\x80=\n"), "A", "k", "v",
                 Bytes("\x01\xFE\xFF junk\n[A]\n\x7F\x80=\nk=v\n")}),
    [](const testing::TestParamInfo<EditCase>& param) { return "case" + std::to_string(param.index); });

TEST(IniDocumentTest, RemovesKeysAndSections)
{
    IniDocument doc("x=0\n[A]\nk=1\nj=2\nk=3\n[B]\nm=4\n[a]\nk=5\n");
    EXPECT_TRUE(doc.RemoveKey("A", "K"));
    EXPECT_EQ(doc.Text(), "x=0\n[A]\nj=2\n[B]\nm=4\n[a]\n");
    EXPECT_FALSE(doc.RemoveKey("A", "k"));
    EXPECT_TRUE(doc.RemoveSection("a"));
    EXPECT_EQ(doc.Text(), "x=0\n[B]\nm=4\n");
    EXPECT_FALSE(doc.RemoveSection("A"));
}

TEST(IniDocumentTest, ListsKeysAndSectionsOnce)
{
    IniDocument doc("[A]\nk=1\n;c=2\nK=3\nj=\n[B]\n[a]\nn=4\n");
    EXPECT_EQ(doc.Keys("a"), (std::vector<std::string>{"k", "j", "n"}));
    EXPECT_EQ(doc.Sections(), (std::vector<std::string>{"A", "B"}));
    EXPECT_TRUE(doc.HasSection("b"));
    EXPECT_FALSE(doc.HasSection("C"));
}

TEST(IniDocumentTest, RefusesNamesThatWouldBreakLines)
{
    EXPECT_TRUE(IniDocument::IsValidSectionName("PORT"));
    EXPECT_FALSE(IniDocument::IsValidSectionName("A]B"));
    EXPECT_TRUE(IniDocument::IsValidSectionName(""));
    EXPECT_TRUE(IniDocument::IsValidKeyName("Parity.Check"));
    EXPECT_FALSE(IniDocument::IsValidKeyName("a=b"));
    EXPECT_FALSE(IniDocument::IsValidKeyName("[x"));
    EXPECT_FALSE(IniDocument::IsValidKeyName(";x"));
    EXPECT_FALSE(IniDocument::IsValidKeyName("a\nb"));
    EXPECT_FALSE(IniDocument::IsValidValue("a\r\n[B]"));
    EXPECT_TRUE(IniDocument::IsValidValue(" spaced \t"));
}

} // namespace
} // namespace lantorvix
