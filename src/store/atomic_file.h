#pragma once

#include "store/file_steps.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace lantorvix::store {

// The whole file as bytes; nothing when it does not exist, cannot be read or is not a regular
// file (a FIFO or a device node is never waited on).
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);
// The same, telling a missing file from one that is there but could not be read.
FileContent ReadFileContent(const std::filesystem::path& path);

// Replaces the file's content as one step: it completes, or the file keeps its old bytes.
// A symbolic link is followed to its target path (also when that does not exist yet: the
// target is made). Anything but a regular file is refused, and so is a file this process may
// not write (even where its folder would allow a rename). The bytes go to a temporary file
// in the same folder that takes the old file's owner, group and mode and reaches the disk,
// then it is renamed over the file, so a power cut leaves the old file or the new one whole.
// Where a rename would lose something (a folder that takes no new file, an owner or group
// this process cannot give, other hard links), the file is rewritten in place with its room
// reserved first and the old bytes put back on failure. Returns false on any failure
// (nothing is left behind then).
bool WriteWholeFile(const std::filesystem::path& path, std::string_view content);

} // namespace lantorvix::store
