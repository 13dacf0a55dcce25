#include "i18n/translation_platform.h"

#include "base/codepage.h"
#include "base/win32/module_path.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace lantorvix::i18n {

namespace {

std::wstring Wide(std::string_view utf8)
{
    const std::u16string u16 = Utf8ToUtf16(utf8);
    return std::wstring(u16.begin(), u16.end());
}

std::string Utf8(std::wstring_view wide)
{
    return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

// The system's text for an error code, in UTF-8, without the trailing line end.
std::string ErrorText(DWORD error)
{
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = n != 0 && buffer ? std::wstring(buffer, n) : L"error " + std::to_wstring(error);
    if (buffer) {
        LocalFree(buffer);
    }
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
        text.pop_back();
    }
    return Utf8(text);
}

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle()
    {
        if (h_ != nullptr && h_ != INVALID_HANDLE_VALUE) {
            CloseHandle(h_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE Get() const { return h_; }

private:
    HANDLE h_;
};

class Win32MappedFile : public MappedFile {
public:
    Win32MappedFile(const void* view, std::size_t size) : view_(view), size_(size) {}
    ~Win32MappedFile() override { UnmapViewOfFile(view_); }
    Win32MappedFile(const Win32MappedFile&) = delete;
    Win32MappedFile& operator=(const Win32MappedFile&) = delete;

    std::span<const unsigned char> Bytes() const override
    {
        return {static_cast<const unsigned char*>(view_), size_};
    }

private:
    const void* view_;
    std::size_t size_;
};

class Win32TranslationPlatform : public TranslationPlatform {
public:
    std::string ExecutablePath() override { return Utf8(win32::ModulePath()); }

    std::optional<std::string> Environment(std::string_view name) override
    {
        const std::wstring wname = Wide(name);
        const DWORD needed = GetEnvironmentVariableW(wname.c_str(), nullptr, 0);
        if (needed == 0) {
            return std::nullopt;
        }
        std::vector<wchar_t> buffer(needed);
        const DWORD n = GetEnvironmentVariableW(wname.c_str(), buffer.data(), needed);
        return n < needed ? std::optional<std::string>(Utf8(std::wstring_view(buffer.data(), n)))
                          : std::nullopt;
    }

    std::optional<std::string> UserLocale() override
    {
        char language[5] = {};
        char country[5] = {};
        if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SISO639LANGNAME, language, 5) == 3 &&
            GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SISO3166CTRYNAME, country, 5) == 3) {
            return std::string(language) + "_" + country;
        }
        return std::nullopt;
    }

    std::optional<std::uint32_t> ThreadLocale() override { return GetThreadLocale(); }

    bool FileExists(const std::string& path) override
    {
        const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }

    std::unique_ptr<MappedFile> MapFile(const std::string& path) override
    {
        Handle file(CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.Get() == INVALID_HANDLE_VALUE) {
            throw MapFileError(MapFileError::Stage::open, ErrorText(GetLastError()));
        }
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file.Get(), &size)) {
            throw MapFileError(MapFileError::Stage::createMap, ErrorText(GetLastError()));
        }
        if (static_cast<std::uint64_t>(size.QuadPart) > SIZE_MAX) {
            throw MapFileError(MapFileError::Stage::createMap, ErrorText(ERROR_NOT_ENOUGH_MEMORY));
        }
        // Fails for an empty file, which therefore never reaches the catalogue reader.
        Handle mapping(CreateFileMappingW(file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
        if (mapping.Get() == nullptr) {
            throw MapFileError(MapFileError::Stage::createMap, ErrorText(GetLastError()));
        }
        const void* view = MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0);
        if (view == nullptr) {
            throw MapFileError(MapFileError::Stage::mapView, ErrorText(GetLastError()));
        }
        // The view keeps the file mapped after both handles are closed.
        return std::make_unique<Win32MappedFile>(view, static_cast<std::size_t>(size.QuadPart));
    }
};

} // namespace

std::unique_ptr<TranslationPlatform> MakeTranslationPlatform()
{
    return std::make_unique<Win32TranslationPlatform>();
}

} // namespace lantorvix::i18n
