#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lantorvix {

// A settings file with the Windows private-profile semantics (see store/ini_document.h):
// sections and keys match without regard to letter case, values are trimmed and lose one
// pair of matching quotes, missing sections and keys are added at the end, everything else
// in the file is kept byte for byte. A file in UTF-16 LE with a byte-order mark is read and
// written back so (see store/file_encoding.h); names and values are 8-bit texts in the
// program's code page (i18n::AnsiCodePage) either way.
//
// Every call reads the file anew and every write replaces it at once (store/atomic_file.h:
// complete or not at all, the file's owner, mode and links kept), so several objects, or
// programs, on one file see each other's writes. Reading never fails and never waits: a
// missing, unreadable or damaged file, or one that is not a regular file, gives the defaults.
// A write that cannot be done raises Exception "Unable to write to %s" with the file name as
// given; the file is then unchanged. That includes a file this process may not write, one
// that is there but could not be read or is not a regular file, and one in an encoding that
// is not written back (store/file_encoding.h). Names and values that would break the
// file's lines (line breaks, "=" in a key, "]" in a section) are refused the same way.
//
// Not synchronised: one thread at a time per object.
class IniFile {
public:
    explicit IniFile(std::string fileName);

    const std::string& FileName() const { return fileName_; }

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    // A value that is not a decimal integer counts as missing ("$12C0" and "0x12C0" too).
    std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t defaultValue) const;
    // An integer other than 0 is true.
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
    // "1" or "0".
    void WriteBool(std::string_view section, std::string_view key, bool value);

    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;
    // The key names of a section, each once, in file order.
    std::vector<std::string> ReadSection(std::string_view section) const;
    std::vector<std::string> ReadSections() const;

    // Removing what is not there is not an error and leaves the file untouched.
    void DeleteKey(std::string_view section, std::string_view key);
    void EraseSection(std::string_view section);

private:
    struct Loaded;
    Loaded Load() const;
    void Save(const Loaded& file) const;
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;
    [[noreturn]] void FailWrite() const;

    std::string fileName_;
};

} // namespace lantorvix
