#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace lantorvix::store {

// The platform steps of reading and replacing a file's content (store/atomic_file.h), each
// reporting what happened. Implemented once for POSIX and once for Win32.

enum class FileState {
    missing,  // nothing of that name
    read,     // a regular file, read whole
    unusable, // there, but not a regular file, or not readable
};

struct FileContent {
    FileState state = FileState::missing;
    std::string bytes;
};

// The file's bytes. Never blocks and never opens anything but a regular file for long (a
// FIFO or a device node is unusable).
FileContent ReadRegularFile(const std::filesystem::path& path);

// True when the path names a regular file or nothing at all.
bool RegularOrMissing(const std::filesystem::path& path);

enum class CreateResult {
    written,
    folderClosed, // the folder takes no new file (nothing is left)
    failed,       // not written whole (nothing is left)
    cannotKeep,   // `like`'s owner or group cannot be given to the new file (nothing is left)
};

// A new file (it must not exist yet) holding content, its data on the disk before this
// returns. With `like` (an existing file) the new one gets its owner, group and mode.
CreateResult CreateDurably(const std::filesystem::path& path, std::string_view content,
                           const std::filesystem::path& like);
// Rewrites an existing regular file in place, its data on the disk before this returns: the
// room for the new content is reserved first, and the old bytes are put back when writing
// fails, so the file holds the old content or the new one whole.
bool RewriteDurably(const std::filesystem::path& path, std::string_view content);
// True when this process may write the existing file (opening it for writing succeeds).
bool MayWrite(const std::filesystem::path& path);
// True when the file has other names (hard links) that a rename would leave behind.
bool HasOtherNames(const std::filesystem::path& path);
// Renames source over target in the same folder; the rename itself reaches the disk.
bool ReplaceDurably(const std::filesystem::path& source, const std::filesystem::path& target);
// Removes a file, a read-only one too.
void RemoveFile(const std::filesystem::path& path);

} // namespace lantorvix::store
