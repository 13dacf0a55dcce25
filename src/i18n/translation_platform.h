#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace lantorvix::i18n {

// A file mapped read-only into memory; unmapped and closed on destruction.
class MappedFile {
public:
    virtual ~MappedFile() = default;
    virtual std::span<const unsigned char> Bytes() const = 0;
};

// Why a catalogue file could not be mapped. The domain turns it into the user's message.
class MapFileError : public std::runtime_error {
public:
    enum class Stage { open, createMap, mapView };
    MapFileError(Stage stage, const std::string& reason) : std::runtime_error(reason), stage_(stage) {}
    Stage WhichStage() const { return stage_; }

private:
    Stage stage_;
};

// What the translation layer asks of the operating system. Paths are UTF-8.
// Implementations: posix/, win32/, and a fake in the tests.
// Thread-safety: FileExists and MapFile may be called from any thread at once; the others
// are called at start-up only.
class TranslationPlatform {
public:
    virtual ~TranslationPlatform() = default;

    virtual std::string ExecutablePath() = 0;
    // An environment variable, or nothing when it is not set.
    virtual std::optional<std::string> Environment(std::string_view name) = 0;
    // The user's locale as "ll_CC", or nothing when the system does not tell.
    virtual std::optional<std::string> UserLocale() = 0;
    // The thread's Windows locale identifier; nothing where there is none.
    virtual std::optional<std::uint32_t> ThreadLocale() = 0;
    // True for an existing entry that is not a directory.
    virtual bool FileExists(const std::string& path) = 0;
    // Throws MapFileError.
    virtual std::unique_ptr<MappedFile> MapFile(const std::string& path) = 0;
};

// The implementation for the system the program was built for.
std::unique_ptr<TranslationPlatform> MakeTranslationPlatform();

} // namespace lantorvix::i18n
