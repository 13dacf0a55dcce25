#include "i18n/translation_platform.h"

#include "base/posix/user_paths.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace lantorvix::i18n {

namespace {

std::string ErrorText(int error)
{
    return std::system_category().message(error);
}

class PosixMappedFile : public MappedFile {
public:
    PosixMappedFile(void* address, std::size_t size) : address_(address), size_(size) {}
    ~PosixMappedFile() override { munmap(address_, size_); }
    PosixMappedFile(const PosixMappedFile&) = delete;
    PosixMappedFile& operator=(const PosixMappedFile&) = delete;

    std::span<const unsigned char> Bytes() const override
    {
        return {static_cast<const unsigned char*>(address_), size_};
    }

private:
    void* address_;
    std::size_t size_;
};

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

class PosixTranslationPlatform : public TranslationPlatform {
public:
    std::string ExecutablePath() override { return posix::ExecutablePath(); }

    std::optional<std::string> Environment(std::string_view name) override
    {
        const char* value = std::getenv(std::string(name).c_str());
        return value ? std::optional<std::string>(value) : std::nullopt;
    }

    // The locale the C library would choose for messages, before anyone called setlocale.
    std::optional<std::string> UserLocale() override
    {
        for (const char* name : {"LC_ALL", "LC_MESSAGES"}) {
            if (const char* value = std::getenv(name); value && *value) {
                return std::string(value);
            }
        }
        return std::nullopt;
    }

    std::optional<std::uint32_t> ThreadLocale() override { return std::nullopt; }

    bool FileExists(const std::string& path) override
    {
        struct stat st {};
        return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
    }

    std::unique_ptr<MappedFile> MapFile(const std::string& path) override
    {
        FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (fd.Get() < 0) {
            throw MapFileError(MapFileError::Stage::open, ErrorText(errno));
        }
        struct stat st {};
        if (fstat(fd.Get(), &st) != 0) {
            throw MapFileError(MapFileError::Stage::createMap, ErrorText(errno));
        }
        // As on Windows, an empty file or one larger than the address space has no mapping.
        if (!S_ISREG(st.st_mode) || st.st_size <= 0 || static_cast<std::uintmax_t>(st.st_size) > SIZE_MAX) {
            throw MapFileError(MapFileError::Stage::createMap, ErrorText(EINVAL));
        }
        const auto size = static_cast<std::size_t>(st.st_size);
        void* address = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd.Get(), 0);
        if (address == MAP_FAILED) {
            throw MapFileError(MapFileError::Stage::mapView, ErrorText(errno));
        }
        return std::make_unique<PosixMappedFile>(address, size);
    }
};

} // namespace

std::unique_ptr<TranslationPlatform> MakeTranslationPlatform()
{
    return std::make_unique<PosixTranslationPlatform>();
}

} // namespace lantorvix::i18n
