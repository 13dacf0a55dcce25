#pragma once

#include <filesystem>
#include <string>

namespace lantorvix::posix {

// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute path (a relative
// one is invalid and ignored), else $HOME/.config, else the temporary folder. Reads the
// environment on every call; safe from any thread that does not change it.
std::filesystem::path UserConfigHome();

// The running program's path, read from the kernel's link (empty when it cannot be read). A
// binary replaced while running (a package upgrade) is named "<path> (deleted)": the
// program that path names now is the one the caller wants.
std::string ExecutablePath(const std::filesystem::path& selfLink = "/proc/self/exe");

} // namespace lantorvix::posix
