#pragma once

#include "base/codepage.h"
#include "base/shared_mutex.h"
#include "i18n/mo_catalogue.h"
#include "i18n/translation_platform.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace lantorvix::i18n {

// One text domain and its catalogue <directory><language>/LC_MESSAGES/<name>.mo (or the
// two-letter language directory). The file is searched for at the first lookup; when neither
// exists the domain stays untranslated and is never searched again (OpenPending cleared).
// A file that exists but cannot be used raises ETranslationError, leaves nothing open, and
// is tried again at the next lookup. An open catalogue stays mapped until destruction.
// Thread-safety: Lookup may be called from any thread; opening runs under the domain's write
// lock and lookups under its read lock, so a reader sees no catalogue or a validated one.
class TDomain {
public:
    TDomain(std::string name, std::string directory, std::string languageCode, TranslationPlatform& platform);

    // The translation of a UTF-8 msgid, or nothing when the domain does not translate it.
    // The view lives as long as the domain.
    std::optional<std::string_view> Lookup(std::string_view msgid);

    const std::string& Name() const { return name_; }
    std::string CatalogueFileName(std::string_view language) const;
    bool OpenPending() const;
    bool IsOpen() const;

private:
    void Open();

    const std::string name_;
    const std::string directory_;
    const std::string languageCode_;
    const CodePage codePage_;
    TranslationPlatform& platform_;

    mutable SharedMutex mutex_;
    bool openPending_ = true;
    std::unique_ptr<MappedFile> file_;
    std::unique_ptr<MoCatalogue> catalogue_;
};

} // namespace lantorvix::i18n
