#pragma once

#include "i18n/domain.h"
#include "i18n/translation_platform.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace lantorvix::i18n {

// The process's translator: a base directory ("<exe dir>/locale"), a language code, the
// current text domain "default", and the domains in use (names compared without regard to
// case), each created at its first use and kept until the instance dies.
// Texts that no catalogue translates come back exactly as given.
// Thread-safety: all members may be called from any thread at once.
class TTranslationInstance {
public:
    TTranslationInstance(std::string baseDirectory, std::string languageCode, TranslationPlatform& platform);

    // gettext: the translation in the current domain.
    std::u16string TranslateText(std::u16string_view text);
    // dgettext. Throws ETranslationError when the domain's catalogue exists but is unusable,
    // or when a non-empty text translates to something that is empty or not UTF-8.
    std::u16string TranslateInDomain(std::u16string_view domain, std::u16string_view text);

    TDomain& Domain(std::u16string_view name);

    bool Enabled() const { return enabled_; }
    const std::u16string& CurrentDomain() const { return currentDomain_; }
    const std::string& BaseDirectory() const { return baseDirectory_; }
    const std::string& LanguageCode() const { return languageCode_; }

private:
    const bool enabled_ = true;
    const std::u16string currentDomain_ = u"default";
    const std::string baseDirectory_;
    const std::string languageCode_;
    TranslationPlatform& platform_;

    std::mutex domainsMutex_;
    std::map<std::string, std::unique_ptr<TDomain>> domains_;
};

} // namespace lantorvix::i18n
