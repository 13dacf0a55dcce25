#pragma once

#include <filesystem>
#include <string_view>

namespace lantorvix::store {

// The platform steps of replacing a file's content (store/atomic_file.h), each reporting
// success. Implemented once for POSIX and once for Win32.

enum class CreateResult { written, notCreated, failed };

// A new file (it must not exist yet) holding content, its data on the disk before this
// returns. notCreated: the file could not be made (nothing is left); failed: it was made but
// not written whole (it is removed again).
CreateResult CreateDurably(const std::filesystem::path& path, std::string_view content);
// Rewrites an existing file in place, its data on the disk before this returns.
bool OverwriteDurably(const std::filesystem::path& path, std::string_view content);
// True when this process may write the existing file (opening it for writing succeeds).
bool MayWrite(const std::filesystem::path& path);
// Renames source over target in the same folder; the rename itself reaches the disk.
bool ReplaceDurably(const std::filesystem::path& source, const std::filesystem::path& target);
// Removes a file, a read-only one too.
void RemoveFile(const std::filesystem::path& path);

} // namespace lantorvix::store
