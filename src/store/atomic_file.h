#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace lantorvix::store {

// The whole file as bytes; nothing when it does not exist or cannot be read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

// Replaces the file's content as one step: the bytes go to a temporary file in the same
// folder, which is then renamed over the file, so a failed write leaves the old file whole.
// A symbolic link is followed and its target replaced; the old file's permissions are kept.
// Returns false on any failure (nothing is left behind then).
bool WriteWholeFile(const std::filesystem::path& path, std::string_view content);

} // namespace lantorvix::store
