#include "store/file_steps.h"

#include <windows.h>

namespace lantorvix::store {

namespace {

// Data written and flushed to the disk; the handle is closed in any case.
bool FinishWrite(HANDLE file, std::string_view content)
{
    bool ok = true;
    while (ok && !content.empty()) {
        const DWORD chunk = content.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(content.size());
        DWORD written = 0;
        ok = ::WriteFile(file, content.data(), chunk, &written, nullptr) != FALSE && written > 0;
        content.remove_prefix(written);
    }
    ok = ok && ::FlushFileBuffers(file) != FALSE;
    ok = ::CloseHandle(file) != FALSE && ok;
    return ok;
}

} // namespace

CreateResult CreateDurably(const std::filesystem::path& path, std::string_view content)
{
    const HANDLE file =
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return CreateResult::notCreated;
    }
    if (!FinishWrite(file, content)) {
        RemoveFile(path);
        return CreateResult::failed;
    }
    return CreateResult::written;
}

bool OverwriteDurably(const std::filesystem::path& path, std::string_view content)
{
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file != INVALID_HANDLE_VALUE && FinishWrite(file, content);
}

bool MayWrite(const std::filesystem::path& path)
{
    // The read-only attribute refuses everyone on Windows (checked apart, since Wine as root
    // would open the file anyway).
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return false;
    }
    const HANDLE file =
        ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::CloseHandle(file);
    return true;
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
