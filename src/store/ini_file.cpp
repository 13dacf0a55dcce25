#include "store/ini_file.h"

#include "base/exception.h"
#include "base/resource_strings.h"
#include "base/str_to_int.h"
#include "store/atomic_file.h"
#include "store/ini_document.h"
#include "store/store_text.h"

namespace lantorvix {

using store::IniDocument;

IniFile::IniFile(std::string fileName) : fileName_(std::move(fileName)) {}

std::string IniFile::Load() const
{
    return store::ReadWholeFile(std::filesystem::path(fileName_)).value_or(std::string());
}

void IniFile::Save(const std::string& content) const
{
    if (!store::WriteWholeFile(std::filesystem::path(fileName_), content)) {
        FailWrite();
    }
}

void IniFile::FailWrite() const
{
    throw Exception(store::Message(res::SUnableToWrite, fileName_));
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const
{
    const auto value = IniDocument(Load()).Value(section, key);
    return value ? *value : std::string(defaultValue);
}

std::int32_t IniFile::ReadInteger(std::string_view section, std::string_view key,
                                  std::int32_t defaultValue) const
{
    const auto value = IniDocument(Load()).Value(section, key);
    if (!value) {
        return defaultValue;
    }
    return TryStrToInt(*value).value_or(defaultValue);
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
    IniDocument document(Load());
    document.SetValue(section, key, value);
    Save(document.Text());
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
    return IniDocument(Load()).HasSection(section);
}

bool IniFile::ValueExists(std::string_view section, std::string_view key) const
{
    return IniDocument(Load()).Value(section, key).has_value();
}

std::vector<std::string> IniFile::ReadSection(std::string_view section) const
{
    return IniDocument(Load()).Keys(section);
}

std::vector<std::string> IniFile::ReadSections() const
{
    return IniDocument(Load()).Sections();
}

void IniFile::DeleteKey(std::string_view section, std::string_view key)
{
    IniDocument document(Load());
    if (document.RemoveKey(section, key)) {
        Save(document.Text());
    }
}

void IniFile::EraseSection(std::string_view section)
{
    IniDocument document(Load());
    if (document.RemoveSection(section)) {
        Save(document.Text());
    }
}

} // namespace lantorvix
