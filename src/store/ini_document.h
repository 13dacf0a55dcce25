#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lantorvix::store {

// The text of an INI file read and edited the way the Windows private-profile functions do:
// "[section]" lines open sections, "key=value" lines are entries, names are compared without
// regard to ASCII letter case, values are trimmed and lose one pair of matching quotes. An
// edit changes only the lines it has to; every other byte stays as it was. Lines before the
// first section, comment lines (";") and lines without "=" are kept but are not entries.
// A UTF-8 byte-order mark at the start is kept and otherwise ignored. Where a section or an
// entry occurs twice, the first one found counts.
//
// Not synchronised: one thread at a time per object.
class IniDocument {
public:
    explicit IniDocument(std::string text);

    const std::string& Text() const { return text_; }

    std::optional<std::string> Value(std::string_view section, std::string_view key) const;
    bool HasSection(std::string_view section) const;
    std::vector<std::string> Keys(std::string_view section) const;
    std::vector<std::string> Sections() const;

    // Changes the first entry of that name, or adds it after the last entry of the section,
    // or adds the section with the entry at the end of the text. The names must be valid
    // (IsValidName) and the value one line (IsValidValue).
    void SetValue(std::string_view section, std::string_view key, std::string_view value);
    // Removes every entry of that name in the section; false when there was none.
    bool RemoveKey(std::string_view section, std::string_view key);
    // Removes the section with all its lines; false when there was none.
    bool RemoveSection(std::string_view section);

    // What can be written without changing the meaning of other lines.
    static bool IsValidSectionName(std::string_view name);
    static bool IsValidKeyName(std::string_view name);
    static bool IsValidValue(std::string_view value);

    // The line break used for added lines when the text has none of its own.
    static std::string_view DefaultLineBreak();

private:
    enum class LineKind { Other, Section, Entry };
    struct Line {
        std::size_t begin = 0; // first byte of the line
        std::size_t end = 0;   // end of its content (before CR LF / LF)
        std::size_t next = 0;  // first byte of the following line
        LineKind kind = LineKind::Other;
        std::string_view name;      // section or key name, trimmed
        std::size_t valueBegin = 0; // entries: first byte after "="
        int section = -1;           // index of the section header line that owns this line
    };

    void Parse();
    std::string_view LineBreak() const;
    // What completes the last line when the text does not end with a line break.
    std::string_view MissingLineBreak() const;
    void Replace(std::size_t begin, std::size_t end, std::string_view with);
    std::vector<std::size_t> SectionHeaders(std::string_view section) const;
    std::size_t SectionEnd(std::size_t header) const; // index one past the section's last line

    std::string text_;
    std::vector<Line> lines_;
};

} // namespace lantorvix::store
