#include "store/ini_file.h"

#include "base/codepage.h"
#include "base/exception.h"
#include "base/resource_strings.h"
#include "base/str_to_int.h"
#include "i18n/translate.h"
#include "store/atomic_file.h"
#include "store/file_encoding.h"
#include "store/ini_document.h"
#include "store/store_text.h"

namespace lantorvix {

using store::IniDocument;

// The file as the document edits it. A UTF-16 file is edited as UTF-8 while names and values
// come and go 8-bit in the program's code page, so they are converted on the way.
// A file that is there but could not be read, or is in an encoding not written back, is read
// as what could be understood of it and never saved over.
struct IniFile::Loaded {
    Loaded(store::FileText file, bool readWhole)
        : document(std::move(file.text)), utf16(file.utf16), oddTail(std::move(file.oddTail)),
          writable(readWhole && !file.foreign)
    {}

    std::string Inner(std::string_view ansi) const
    {
        return utf16 ? AnsiToUtf8(ansi, i18n::AnsiCodePage()) : std::string(ansi);
    }
    std::string Outer(std::string_view text) const
    {
        return utf16 ? Utf8ToAnsi(text, i18n::AnsiCodePage()) : std::string(text);
    }
    std::vector<std::string> Outer(std::vector<std::string> names) const
    {
        for (auto& name : names) {
            name = Outer(name);
        }
        return names;
    }
    std::string Bytes() const { return store::EncodeFileText({document.Text(), utf16, oddTail}); }

    IniDocument document;
    bool utf16;
    std::string oddTail;
    bool writable;
};

IniFile::IniFile(std::string fileName) : fileName_(std::move(fileName)) {}

IniFile::Loaded IniFile::Load() const
{
    store::FileContent content = store::ReadFileContent(std::filesystem::path(fileName_));
    return Loaded(store::DecodeFileText(std::move(content.bytes)),
                  content.state != store::FileState::unusable);
}

void IniFile::Save(const Loaded& file) const
{
    if (!file.writable || !store::WriteWholeFile(std::filesystem::path(fileName_), file.Bytes())) {
        FailWrite();
    }
}

void IniFile::FailWrite() const
{
    throw Exception(store::Message(res::SUnableToWrite, fileName_));
}

std::optional<std::string> IniFile::Value(std::string_view section, std::string_view key) const
{
    const Loaded file = Load();
    const auto value = file.document.Value(file.Inner(section), file.Inner(key));
    return value ? std::optional<std::string>(file.Outer(*value)) : std::nullopt;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const
{
    const auto value = Value(section, key);
    return value ? *value : std::string(defaultValue);
}

std::int32_t IniFile::ReadInteger(std::string_view section, std::string_view key,
                                  std::int32_t defaultValue) const
{
    const auto value = Value(section, key);
    if (!value) {
        return defaultValue;
    }
    return TryDecimalToInt(*value).value_or(defaultValue);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const
{
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    if (!IniDocument::IsValidSectionName(section) || !IniDocument::IsValidKeyName(key) ||
        !IniDocument::IsValidValue(value)) {
        FailWrite();
    }
    Loaded file = Load();
    file.document.SetValue(file.Inner(section), file.Inner(key), file.Inner(value));
    Save(file);
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value)
{
    WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

bool IniFile::SectionExists(std::string_view section) const
{
    const Loaded file = Load();
    return file.document.HasSection(file.Inner(section));
}

bool IniFile::ValueExists(std::string_view section, std::string_view key) const
{
    return Value(section, key).has_value();
}

std::vector<std::string> IniFile::ReadSection(std::string_view section) const
{
    const Loaded file = Load();
    return file.Outer(file.document.Keys(file.Inner(section)));
}

std::vector<std::string> IniFile::ReadSections() const
{
    const Loaded file = Load();
    return file.Outer(file.document.Sections());
}

void IniFile::DeleteKey(std::string_view section, std::string_view key)
{
    Loaded file = Load();
    if (file.document.RemoveKey(file.Inner(section), file.Inner(key))) {
        Save(file);
    }
}

void IniFile::EraseSection(std::string_view section)
{
    Loaded file = Load();
    if (file.document.RemoveSection(file.Inner(section))) {
        Save(file);
    }
}

} // namespace lantorvix
