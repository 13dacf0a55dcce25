#include "i18n/translation_instance.h"

#include "base/ascii.h"
#include "base/codepage.h"
#include "base/format.h"
#include "base/utf8.h"
#include "i18n/line_ends.h"
#include "i18n/translation_error.h"

#include <filesystem>
#include <utility>

namespace lantorvix::i18n {

namespace {
std::string FoldCase(std::string_view name)
{
    std::string key(name);
    for (char& c : key) {
        c = ascii::ToLower(c);
    }
    return key;
}
} // namespace

TTranslationInstance::TTranslationInstance(std::string baseDirectory, std::string languageCode,
                                           TranslationPlatform& platform)
    : baseDirectory_(std::move(baseDirectory)), languageCode_(std::move(languageCode)), platform_(platform)
{
    Domain(currentDomain_);
}

TDomain& TTranslationInstance::Domain(std::u16string_view name)
{
    const std::string utf8 = Utf16ToUtf8(name);
    std::lock_guard lock(domainsMutex_);
    auto& domain = domains_[FoldCase(utf8)];
    if (!domain) {
        std::string directory = baseDirectory_;
        directory += static_cast<char>(std::filesystem::path::preferred_separator);
        domain = std::make_unique<TDomain>(utf8, std::move(directory), languageCode_, platform_);
    }
    return *domain;
}

std::u16string TTranslationInstance::TranslateText(std::u16string_view text)
{
    return TranslateInDomain(currentDomain_, text);
}

std::u16string TTranslationInstance::TranslateInDomain(std::u16string_view domainName,
                                                       std::u16string_view text)
{
    // The empty msgid is the catalogue's header, not a message: never hand it out.
    if (!enabled_ || text.empty()) {
        return std::u16string(text);
    }
    TDomain& domain = Domain(domainName);
    const auto found = domain.Lookup(RemoveCarriageReturns(Utf16ToUtf8(text)));
    if (!found) {
        // Untranslated texts come back as given, lone CRs and bare LFs included.
        return std::u16string(text);
    }
    const std::string translation = AddCarriageReturns(*found);
    std::u16string result;
    if (IsValidUtf8(translation)) {
        result = Utf8ToUtf16(translation);
    }
    if (result.empty()) {
        const std::string shown = Utf8ToAnsi(Utf16ToUtf8(text), CodePageForLanguage(languageCode_));
        throw ETranslationError(Format("Error: Could not translate %s. Probably because the mo file doesn't "
                                       "contain utf-8 encoded translations.",
                                       {shown}));
    }
    return result;
}

} // namespace lantorvix::i18n
