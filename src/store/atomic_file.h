#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace lantorvix::store {

// The whole file as bytes; nothing when it does not exist or cannot be read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

// Replaces the file's content as one step: the bytes go to a temporary file in the same
// folder and reach the disk, then it is renamed over the file, so a failed write or a power
// cut leaves the old file or the new one whole. A file this process may not write is not
// written (even where its folder would allow the rename). Where the folder takes no new file
// but the file may be written, the file is rewritten in place. A symbolic link is followed
// and its target replaced; the old file's permissions are kept. Returns false on any failure
// (nothing is left behind then).
bool WriteWholeFile(const std::filesystem::path& path, std::string_view content);

} // namespace lantorvix::store
