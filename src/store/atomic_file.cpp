#include "store/atomic_file.h"

#include "store/file_steps.h"

#include <fstream>
#include <random>
#include <system_error>

namespace lantorvix::store {

namespace fs = std::filesystem;

std::optional<std::string> ReadWholeFile(const fs::path& path)
{
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string content;
    char buffer[16384];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        content.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
        return std::nullopt;
    }
    return content;
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
} // namespace

bool WriteWholeFile(const fs::path& path, std::string_view content)
{
    std::error_code ec;
    fs::path target = path;
    if (fs::is_symlink(target, ec)) {
        target = fs::weakly_canonical(target, ec);
        if (ec) {
            return false;
        }
    }
    if (fs::is_directory(target, ec)) {
        return false;
    }
    const bool exists = fs::exists(target, ec);
    // A rename would replace a file the user may not write whenever its folder is writable.
    if (exists && !MayWrite(target)) {
        return false;
    }
    const fs::path temporary = TemporaryBeside(target);
    switch (CreateDurably(temporary, content)) {
    case CreateResult::written:
        break;
    case CreateResult::notCreated:
        // A folder that takes no new file around a file that may be written: in place, as the
        // system's profile functions write.
        return exists && OverwriteDurably(target, content);
    case CreateResult::failed:
        return false;
    }
    if (exists) {
        const auto old = fs::status(target, ec);
        if (!ec) {
            fs::permissions(temporary, old.permissions(), fs::perm_options::replace, ec);
        }
    }
    if (!ReplaceDurably(temporary, target)) {
        RemoveFile(temporary);
        return false;
    }
    return true;
}

} // namespace lantorvix::store
