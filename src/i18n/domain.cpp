#include "i18n/domain.h"

#include "i18n/translation_error.h"

#include <filesystem>
#include <mutex>
#include <shared_mutex>
#include <utility>

namespace lantorvix::i18n {

namespace {
constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);
}

TDomain::TDomain(std::string name, std::string directory, std::string languageCode,
                 TranslationPlatform& platform)
    : name_(std::move(name)), directory_(std::move(directory)), languageCode_(std::move(languageCode)),
      codePage_(CodePageForLanguage(languageCode_)), platform_(platform)
{}

std::string TDomain::CatalogueFileName(std::string_view language) const
{
    std::string file = directory_;
    file += language;
    file += kSeparator;
    file += "LC_MESSAGES";
    file += kSeparator;
    file += name_;
    file += ".mo";
    return file;
}

bool TDomain::OpenPending() const
{
    std::shared_lock lock(mutex_);
    return openPending_;
}

bool TDomain::IsOpen() const
{
    std::shared_lock lock(mutex_);
    return catalogue_ != nullptr;
}

std::optional<std::string_view> TDomain::Lookup(std::string_view msgid)
{
    {
        std::shared_lock lock(mutex_);
        if (catalogue_) {
            return catalogue_->Find(msgid);
        }
        if (!openPending_) {
            return std::nullopt;
        }
    }
    {
        std::unique_lock lock(mutex_);
        if (!catalogue_ && openPending_) {
            Open();
        }
    }
    // Once open, the catalogue is never closed before the domain dies.
    std::shared_lock lock(mutex_);
    return catalogue_ ? catalogue_->Find(msgid) : std::nullopt;
}

void TDomain::Open()
{
    std::string fileName = CatalogueFileName(languageCode_);
    if (!platform_.FileExists(fileName)) {
        fileName = CatalogueFileName(std::string_view(languageCode_).substr(0, 2));
        if (!platform_.FileExists(fileName)) {
            openPending_ = false;
            return;
        }
    }
    const std::string shown = Utf8ToAnsi(fileName, codePage_);
    std::unique_ptr<MappedFile> file;
    try {
        file = platform_.MapFile(fileName);
    } catch (const MapFileError& e) {
        switch (e.WhichStage()) {
        case MapFileError::Stage::open:
            throw ETranslationError("Cannot open file " + shown);
        case MapFileError::Stage::createMap:
            throw ETranslationError("Cannot create memory map on file " + shown);
        case MapFileError::Stage::mapView:
            break;
        }
        throw ETranslationError("Cannot map file " + shown +
                                " into memory. Reason: " + Utf8ToAnsi(e.what(), codePage_));
    }
    // A file that fails validation is unmapped again when `file` goes out of scope.
    auto catalogue = std::make_unique<MoCatalogue>(file->Bytes(), shown);
    file_ = std::move(file);
    catalogue_ = std::move(catalogue);
}

} // namespace lantorvix::i18n
