#include "store/atomic_file.h"

#include <random>
#include <system_error>

namespace lantorvix::store {

namespace fs = std::filesystem;

std::optional<std::string> ReadWholeFile(const fs::path& path)
{
    FileContent file = ReadRegularFile(path);
    if (file.state != FileState::read) {
        return std::nullopt;
    }
    return std::move(file.bytes);
}

FileContent ReadFileContent(const fs::path& path)
{
    return ReadRegularFile(path);
}

namespace {
fs::path TemporaryBeside(const fs::path& target)
{
    static thread_local std::mt19937_64 random{std::random_device{}()};
    const auto suffix = std::to_string(random() & 0xFFFFFFFFFFull);
    std::string name = ".";
    name.append(target.filename().string()).append(".").append(suffix).append(".tmp");
    return target.parent_path() / name;
}

// The path a save writes: symbolic links followed one by one, the last one possibly dangling
// (a dotfile manager's link to a file not made yet). Empty for a loop or a link that cannot
// be read.
fs::path FinalTarget(const fs::path& path)
{
    constexpr int kMaxLinks = 40; // as the kernel allows
    fs::path at = path;
    for (int i = 0; i < kMaxLinks; ++i) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(at, ec))) {
            return at;
        }
        const fs::path next = fs::read_symlink(at, ec);
        if (ec) {
            return {};
        }
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    return {};
}
} // namespace

bool WriteWholeFile(const fs::path& path, std::string_view content)
{
    const fs::path target = FinalTarget(path);
    if (target.empty() || !RegularOrMissing(target)) {
        return false;
    }
    std::error_code ec;
    const bool exists = fs::exists(fs::symlink_status(target, ec));
    // A rename would replace a file the user may not write whenever its folder is writable.
    if (exists && !MayWrite(target)) {
        return false;
    }
    if (exists && HasOtherNames(target)) {
        return RewriteDurably(target, content);
    }
    const fs::path temporary = TemporaryBeside(target);
    switch (CreateDurably(temporary, content, exists ? target : fs::path())) {
    case CreateResult::written:
        break;
    case CreateResult::folderClosed:
    case CreateResult::cannotKeep:
        return exists && RewriteDurably(target, content);
    case CreateResult::failed:
        return false;
    }
    if (!ReplaceDurably(temporary, target)) {
        RemoveFile(temporary);
        return false;
    }
    return true;
}

} // namespace lantorvix::store
