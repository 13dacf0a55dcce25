#include "store/ini_file.h"

#include "base/exception.h"
#include "store/temp_dir.h"
#include "support/file_bytes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string_view>
#include <vector>

namespace lantorvix {
namespace {

using test::ReadBytes;
using test::WriteBytes;

class IniFileTest : public testing::Test {
protected:
    test::TempDir dir;
    std::string path = dir.File("Lantorvix.ini");
};

TEST_F(IniFileTest, MissingFileGivesDefaultsAndIsNotCreatedByReading)
{
    IniFile ini(path);
    EXPECT_EQ(ini.ReadString("PORT", "PortNum", "NINCS"), "NINCS");
    EXPECT_EQ(ini.ReadInteger("PORT", "BaudRate", 9600), 9600);
    EXPECT_TRUE(ini.ReadBool("PROGRAM", "DiscardNull", true));
    EXPECT_FALSE(ini.SectionExists("PORT"));
    EXPECT_FALSE(ini.ValueExists("PORT", "PortNum"));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(IniFileTest, WritesInOrderAndReadsBack)
{
    IniFile ini(path);
    ini.WriteString("PORT", "PortNum", "7");
    ini.WriteInteger("PORT", "BaudRate", 4800);
    ini.WriteString("SCANNER", "StopString", "CR");
    ini.WriteString("PROGRAM", "AddedString", "TAB");
    ini.WriteBool("PROGRAM", "DiscardNull", false);
    const std::string text = ReadBytes(path);
    std::string expected = "[PORT]\nPortNum=7\nBaudRate=4800\n[SCANNER]\nStopString=CR\n[PROGRAM]\n"
                           "AddedString=TAB\nDiscardNull=0\n";
#if defined(_WIN32)
    for (std::size_t at = expected.find('\n'); at != std::string::npos; at = expected.find('\n', at + 2)) {
        expected.insert(at, "\r");
    }
#endif
    EXPECT_EQ(text, expected);
    EXPECT_EQ(ini.ReadString("port", "portnum", ""), "7");
    EXPECT_EQ(ini.ReadInteger("PORT", "BaudRate", 0), 4800);
    EXPECT_FALSE(ini.ReadBool("PROGRAM", "DiscardNull", true));
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"PORT", "SCANNER", "PROGRAM"}));
    EXPECT_EQ(ini.ReadSection("PORT"), (std::vector<std::string>{"PortNum", "BaudRate"}));
}

struct IntegerCase {
    const char* stored;
    std::int32_t expected; // with a default of -7
};

class IniIntegerTest : public IniFileTest, public testing::WithParamInterface<IntegerCase> {};

TEST_P(IniIntegerTest, NotAnIntegerCountsAsMissing)
{
    WriteBytes(path, std::string("[S]\nk=") + GetParam().stored + "\n");
    EXPECT_EQ(IniFile(path).ReadInteger("S", "k", -7), GetParam().expected) << GetParam().stored;
    EXPECT_EQ(IniFile(path).ReadBool("S", "k", true), GetParam().expected != 0) << GetParam().stored;
}

INSTANTIATE_TEST_SUITE_P(Cases, IniIntegerTest,
                         testing::Values(IntegerCase{"4800", 4800}, IntegerCase{" 57600 ", 57600},
                                         IntegerCase{"-3", -3}, IntegerCase{"$12C0", -7},
                                         IntegerCase{"0x12C0", -7}, IntegerCase{"0", 0},
                                         IntegerCase{"no", -7}, IntegerCase{"", -7}, IntegerCase{"12abc", -7},
                                         IntegerCase{"99999999999", -7},
                                         IntegerCase{"-2147483648", INT32_MIN}, IntegerCase{"\"42\"", 42}));

TEST_F(IniFileTest, KeepsTheRestOfAHandEditedFileByteForByte)
{
    const std::string before = "\xEF\xBB\xBF; Lantorvix\r\n\r\n[PORT]\r\nPortNum = 3\r\n; speed below\r\n"
                               "BaudRate=9600\r\n\r\n[Other]\r\nkeep=  this  \r\ntrailing";
    WriteBytes(path, before);
    IniFile ini(path);
    ini.WriteInteger("port", "baudrate", 19200);
    ini.WriteString("PROGRAM", "DiscardNull", "1");
    ini.WriteString("PORT", "PortName", "ttyUSB0");
    EXPECT_EQ(ReadBytes(path),
              "\xEF\xBB\xBF; Lantorvix\r\n\r\n[PORT]\r\nPortNum = 3\r\n; speed below\r\n"
              "BaudRate=19200\r\nPortName=ttyUSB0\r\n\r\n[Other]\r\nkeep=  this  \r\ntrailing\r\n"
              "[PROGRAM]\r\nDiscardNull=1\r\n");
    EXPECT_EQ(ini.ReadString("Other", "keep", ""), "this");
    EXPECT_EQ(ini.ReadString("Other", "trailing", "absent"), "absent");
}

TEST_F(IniFileTest, TwoObjectsOnOneFileSeeEachOthersWrites)
{
    IniFile a(path);
    IniFile b(path);
    a.WriteString("S", "k", "1");
    EXPECT_EQ(b.ReadString("S", "k", ""), "1");
    b.WriteString("S", "k", "2");
    EXPECT_EQ(a.ReadString("S", "k", ""), "2");
}

TEST_F(IniFileTest, DeletesKeysAndSectionsAndLeavesAnUnchangedFileAlone)
{
    WriteBytes(path, "[A]\nk=1\nj=2\n[B]\nm=3\n");
    IniFile ini(path);
    ini.DeleteKey("a", "K");
    EXPECT_EQ(ReadBytes(path), "[A]\nj=2\n[B]\nm=3\n");
    ini.EraseSection("B");
    EXPECT_EQ(ReadBytes(path), "[A]\nj=2\n");
    const auto stamp = std::filesystem::last_write_time(path);
    ini.DeleteKey("A", "absent");
    ini.EraseSection("absent");
    EXPECT_EQ(std::filesystem::last_write_time(path), stamp);
    EXPECT_EQ(ReadBytes(path), "[A]\nj=2\n");
}

TEST_F(IniFileTest, WriteIntoMissingFolderFailsWithTheFileName)
{
    const std::string name = dir.File("absent/Lantorvix.ini");
    IniFile ini(name);
    try {
        ini.WriteString("PORT", "PortNum", "3");
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + name);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "absent"));
}

std::vector<std::string> Entries(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// A file the user made read-only is not written and nothing is left beside it (a temporary
// file that took over the read-only attribute must still be removed on Windows). Root on
// POSIX writes it anyway; the POSIX tests run this case as an unprivileged user.
TEST_F(IniFileTest, ReadOnlyFileIsNotWrittenAndNothingIsLeftBehind)
{
    namespace fs = std::filesystem;
    WriteBytes(path, "[PORT]\r\nPortNum=3\r\n");
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                    fs::perm_options::replace);
#if !defined(_WIN32)
    // Windows refuses everyone; POSIX lets root write anyway.
    if (std::ofstream(path, std::ios::app)) {
        fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
        GTEST_SKIP() << "this user writes read-only files";
    }
#endif
    try {
        IniFile(path).WriteString("PORT", "PortNum", "4");
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
    }
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(ReadBytes(path), "[PORT]\r\nPortNum=3\r\n");
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"Lantorvix.ini"});
}

std::string Utf16Le(std::u16string_view text)
{
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

// Notepad's "Unicode": read, and written back in UTF-16 with every other line as it was.
// Names and values are 8-bit (code page 1252 here: "\xE9" is "é").
TEST_F(IniFileTest, Utf16FileIsReadAndWrittenBackInUtf16)
{
    WriteBytes(path, Utf16Le(u"[PORT]\r\nBaudRate=4800\r\nName=Caf\u00E9\r\n; \u0151 \U0001F600\r\n"));
    IniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("PORT", "BaudRate", 9600), 4800);
    EXPECT_EQ(ini.ReadString("PORT", "Name", ""), "Caf\xE9");
    ini.WriteString("PORT", "PortNum", "\xE9");
    EXPECT_EQ(
        ReadBytes(path),
        Utf16Le(u"[PORT]\r\nBaudRate=4800\r\nName=Caf\u00E9\r\nPortNum=\u00E9\r\n; \u0151 \U0001F600\r\n"));
}

// What does not decode (an unpaired surrogate, a last odd byte) comes back as it was.
TEST_F(IniFileTest, Utf16BytesThatDoNotDecodeSurviveAWrite)
{
    std::u16string lone = u"[A]\r\n; x\r\n";
    lone[7] = 0xD800;
    WriteBytes(path, Utf16Le(lone) + "!");
    IniFile(path).WriteString("A", "k", "v");
    std::u16string written = u"[A]\r\nk=v\r\n; x\r\n";
    written[12] = 0xD800;
    EXPECT_EQ(ReadBytes(path), Utf16Le(written) + "!");
}

// A file in an encoding that is not written back (UTF-16 big-endian, UTF-16 without its
// mark) is never given 8-bit lines: the write fails and the bytes stay.
TEST_F(IniFileTest, FileInAnEncodingNotWrittenBackIsRefused)
{
    std::string bigEndian = "\xFE\xFF";
    std::string noMark;
    for (const char c : std::string_view("[A]\r\nk=1\r\n")) {
        bigEndian.append({'\0', c});
        noMark.append({c, '\0'});
    }
    for (const std::string& before : {bigEndian, noMark}) {
        WriteBytes(path, before);
        EXPECT_THROW(IniFile(path).WriteString("A", "k", "2"), Exception);
        EXPECT_EQ(ReadBytes(path), before);
    }
}

TEST_F(IniFileTest, WriteOverAFolderFailsAndLeavesItAlone)
{
    std::filesystem::create_directory(path);
    EXPECT_THROW(IniFile(path).WriteString("A", "k", "v"), Exception);
    EXPECT_TRUE(std::filesystem::is_directory(path));
    EXPECT_EQ(IniFile(path).ReadString("A", "k", "def"), "def");
}

struct RefusedWrite {
    const char* section;
    const char* key;
    const char* value;
};

class IniRefusedWriteTest : public IniFileTest, public testing::WithParamInterface<RefusedWrite> {};

TEST_P(IniRefusedWriteTest, LineBreakingNamesAndValuesAreRefusedAndChangeNothing)
{
    const std::string before = "[A]\nk=1\n";
    WriteBytes(path, before);
    IniFile ini(path);
    EXPECT_THROW(ini.WriteString(GetParam().section, GetParam().key, GetParam().value), Exception);
    EXPECT_EQ(ReadBytes(path), before);
}

INSTANTIATE_TEST_SUITE_P(Cases, IniRefusedWriteTest,
                         testing::Values(RefusedWrite{"A", "k", "1\n[B]"}, RefusedWrite{"A", "k", "x\ry"},
                                         RefusedWrite{"A", "k=j", "1"}, RefusedWrite{"A", "", "1"},
                                         RefusedWrite{"A", "[k", "1"}, RefusedWrite{"A]", "k", "1"},
                                         RefusedWrite{"A", "  ", "1"}, RefusedWrite{"A\nB", "k", "1"}));

TEST_F(IniFileTest, DamagedFilesNeverStopReadingOrWriting)
{
    std::string junk;
    for (int i = 0; i < 4096; ++i) {
        junk += static_cast<char>((i * 131 + 7) % 256);
    }
    const std::vector<std::string> damaged = {junk,
                                              std::string(1 << 20, '['),
                                              "[A]\nk=" + std::string(1 << 20, 'v'),
                                              std::string("\0\0\0[A]\0k=1", 10),
                                              "\xEF\xBB\xBF",
                                              "\r\r\r\n\n"};
    for (const auto& content : damaged) {
        WriteBytes(path, content);
        IniFile ini(path);
        (void)ini.ReadString("A", "k", "");
        ini.WriteString("Z", "k", "v");
        EXPECT_EQ(ini.ReadString("z", "K", ""), "v");
        const std::string after = ReadBytes(path);
        EXPECT_EQ(after.substr(0, content.size()), content) << "the old bytes stay in front";
    }
}

TEST_F(IniFileTest, SymbolicLinkIsFollowed)
{
    const std::string target = dir.File("real.ini");
    WriteBytes(target, "[A]\nk=1\n");
    std::error_code ec;
    std::filesystem::create_symlink(target, path, ec);
    if (ec) {
        GTEST_SKIP() << "no symbolic links here: " << ec.message();
    }
    IniFile(path).WriteString("A", "k", "2");
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(ReadBytes(target), "[A]\nk=2\n");
}

} // namespace
} // namespace lantorvix
