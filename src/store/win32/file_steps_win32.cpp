#include "store/file_steps.h"

#include <windows.h>

namespace lantorvix::store {

namespace {

// Closes the handle when it goes.
class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle()
    {
        if (Valid()) {
            ::CloseHandle(handle_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool Close()
    {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return ::CloseHandle(handle) != FALSE;
    }

private:
    HANDLE handle_;
};

bool WriteAll(HANDLE file, std::string_view content)
{
    while (!content.empty()) {
        const DWORD chunk = content.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(content.size());
        DWORD written = 0;
        if (::WriteFile(file, content.data(), chunk, &written, nullptr) == FALSE || written == 0) {
            return false;
        }
        content.remove_prefix(written);
    }
    return true;
}

bool ReadAll(HANDLE file, std::string& out)
{
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) == FALSE) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        out.append(buffer, got);
    }
}

bool SizeAt(HANDLE file, std::size_t size)
{
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(size);
    return ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) != FALSE && ::SetEndOfFile(file) != FALSE;
}

bool WriteAt(HANDLE file, std::string_view content, std::size_t offset)
{
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    return ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) != FALSE && WriteAll(file, content);
}

bool Missing(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

} // namespace

FileContent ReadRegularFile(const std::filesystem::path& path)
{
    FileContent file;
    const Handle handle(::CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.Valid()) {
        file.state = Missing(::GetLastError()) ? FileState::missing : FileState::unusable;
        return file;
    }
    file.state = FileState::unusable;
    if (::GetFileType(handle.Get()) == FILE_TYPE_DISK && ReadAll(handle.Get(), file.bytes)) {
        file.state = FileState::read;
    } else {
        file.bytes.clear();
    }
    return file;
}

bool RegularOrMissing(const std::filesystem::path& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return Missing(::GetLastError());
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

CreateResult CreateDurably(const std::filesystem::path& path, std::string_view content,
                           const std::filesystem::path& /*like*/)
{
    Handle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        return ::GetLastError() == ERROR_ACCESS_DENIED ? CreateResult::folderClosed : CreateResult::failed;
    }
    if (!WriteAll(file.Get(), content) || ::FlushFileBuffers(file.Get()) == FALSE || !file.Close()) {
        RemoveFile(path);
        return CreateResult::failed;
    }
    return CreateResult::written;
}

bool RewriteDurably(const std::filesystem::path& path, std::string_view content)
{
    const Handle file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string old;
    if (!file.Valid() || ::GetFileType(file.Get()) != FILE_TYPE_DISK || !ReadAll(file.Get(), old)) {
        return false;
    }
    // Room first: a full disk stops the save before an old byte is touched.
    if (content.size() > old.size() && !SizeAt(file.Get(), content.size())) {
        SizeAt(file.Get(), old.size());
        return false;
    }
    if (WriteAt(file.Get(), content, 0) && SizeAt(file.Get(), content.size()) &&
        ::FlushFileBuffers(file.Get()) != FALSE) {
        return true;
    }
    if (WriteAt(file.Get(), old, 0)) {
        SizeAt(file.Get(), old.size());
    }
    ::FlushFileBuffers(file.Get());
    return false;
}

bool MayWrite(const std::filesystem::path& path)
{
    // The read-only attribute refuses everyone on Windows (checked apart, since Wine as root
    // would open the file anyway).
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return false;
    }
    const Handle file(::CreateFileW(path.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.Valid();
}

bool HasOtherNames(const std::filesystem::path& /*path*/)
{
    return false; // the system's profile functions replace the file; so does the rename here
}

bool ReplaceDurably(const std::filesystem::path& source, const std::filesystem::path& target)
{
    return ::MoveFileExW(source.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

void RemoveFile(const std::filesystem::path& path)
{
    // A temporary file that took over a read-only attribute cannot be deleted otherwise.
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(path.c_str());
}

} // namespace lantorvix::store
