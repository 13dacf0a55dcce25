#include "base/posix/user_paths.h"

#include <cstdlib>
#include <string_view>

namespace lantorvix::posix {

namespace fs = std::filesystem;

namespace {
fs::path AbsoluteFromEnv(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? fs::path(value) : fs::path();
}
} // namespace

fs::path UserConfigHome()
{
    if (fs::path config = AbsoluteFromEnv("XDG_CONFIG_HOME"); !config.empty()) {
        return config;
    }
    if (const fs::path home = AbsoluteFromEnv("HOME"); !home.empty()) {
        return home / ".config";
    }
    std::error_code ec;
    return fs::temp_directory_path(ec);
}

std::string ExecutablePath(const fs::path& selfLink)
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink(selfLink, ec);
    if (ec) {
        return {};
    }
    constexpr std::string_view kDeleted = " (deleted)";
    std::string path = exe.string();
    if (path.size() > kDeleted.size() &&
        path.compare(path.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0 && !fs::exists(exe, ec)) {
        path.resize(path.size() - kDeleted.size());
    }
    return path;
}

} // namespace lantorvix::posix
