#include "app/system/posix/posix_system_services.h"

#include "app/system/posix/desktop_entry.h"
#include "app/system/posix/instance_channel.h"
#include "app/system/posix/sysfs_serial_ports.h"
#include "base/exception.h"
#include "base/posix/user_paths.h"
#include "base/resource_strings.h"
#include "store/atomic_file.h"
#include "store/store_text.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lantorvix {

namespace fs = std::filesystem;

namespace {

fs::path AbsoluteFromEnv(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? fs::path(value) : fs::path();
}

// Holds the lock file open (and so locked) until destroyed; fd -1 holds nothing.
class LockFileGuard final : public SingleInstanceGuard {
public:
    explicit LockFileGuard(int fd) : fd_(fd) {}
    ~LockFileGuard() override
    {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    LockFileGuard(const LockFileGuard&) = delete;
    LockFileGuard& operator=(const LockFileGuard&) = delete;

private:
    int fd_;
};

// A folder that exists as something else, or under something else, cannot hold entries.
bool UsableFolder(const fs::path& dir)
{
    std::error_code ec;
    for (fs::path at = dir; !at.empty(); at = at.parent_path()) {
        const auto status = fs::status(at, ec);
        if (fs::exists(status) || at == at.parent_path()) {
            return fs::is_directory(status);
        }
    }
    return true;
}

// A folder this process can create entries in, made when missing.
bool WritableFolder(const fs::path& dir)
{
    std::error_code ec;
    fs::create_directories(dir, ec);
    return fs::is_directory(dir, ec) && ::access(dir.c_str(), W_OK | X_OK) == 0;
}

// The user's entry, then the machine-wide one: a user's entry of the same name hides the
// machine-wide one from that user's session, so it is what decides there. Changes go to
// writeDir: the machine-wide folder when this process may write it, else the user's.
class DesktopAutostart final : public AutostartStore {
public:
    DesktopAutostart(fs::path userDir, fs::path systemDir, fs::path writeDir)
        : userDir_(std::move(userDir)), systemDir_(std::move(systemDir)), writeDir_(std::move(writeDir))
    {}

    std::string Read(std::string_view name) override
    {
        for (const fs::path* dir : {&userDir_, &systemDir_}) {
            if (const auto text = store::ReadWholeFile(File(*dir, name))) {
                return desktop::ExecCommand(*text);
            }
        }
        return {};
    }

    void Write(std::string_view name, std::string_view data) override
    {
        const auto entry = desktop::AutostartEntry(name, data);
        if (writeDir_.empty() || !entry || !ValidName(name) ||
            !store::WriteWholeFile(File(writeDir_, name), *entry)) {
            Fail(name);
        }
        std::error_code ec;
        fs::permissions(File(writeDir_, name),
                        fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                            fs::perms::others_read,
                        fs::perm_options::replace, ec);
        // A user's entry left from before would hide the machine-wide one just written.
        if (writeDir_ != userDir_) {
            RemoveFile(userDir_, name);
        }
    }

    // Removes every entry that reading finds, so that the program is off afterwards; a
    // machine-wide entry this process may not remove is a failure.
    void Remove(std::string_view name) override
    {
        if (writeDir_.empty() || !ValidName(name)) {
            Fail(name);
        }
        RemoveFile(userDir_, name);
        RemoveFile(systemDir_, name);
    }

private:
    static bool ValidName(std::string_view name)
    {
        return !name.empty() && name.find('/') == std::string_view::npos && name != "." && name != "..";
    }
    static fs::path File(const fs::path& dir, std::string_view name)
    {
        return dir / (std::string(name) + ".desktop");
    }
    static void RemoveFile(const fs::path& dir, std::string_view name)
    {
        std::error_code ec;
        fs::remove(File(dir, name), ec);
        if (ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory) {
            Fail(name);
        }
    }
    [[noreturn]] static void Fail(std::string_view name)
    {
        throw Exception(store::Message(res::SFailedToSetData, name));
    }

    fs::path userDir_;
    fs::path systemDir_;
    fs::path writeDir_; // empty: read only
};

} // namespace

PosixSystemPaths PosixSystemPaths::FromEnvironment()
{
    PosixSystemPaths paths;
    std::error_code ec;
    paths.runtimeDir = AbsoluteFromEnv("XDG_RUNTIME_DIR");
    if (paths.runtimeDir.empty() || !fs::is_directory(paths.runtimeDir, ec)) {
        paths.runtimeDir = fs::temp_directory_path(ec);
    }
    std::string configDirs;
    if (const char* dirs = std::getenv("XDG_CONFIG_DIRS")) {
        configDirs = dirs;
    }
    const std::string first = configDirs.substr(0, configDirs.find(':'));
    paths.autostartDir =
        (first.empty() || first.front() != '/' ? fs::path("/etc/xdg") : fs::path(first)) / "autostart";
    paths.sysfsRoot = "/sys";
    paths.devRoot = "/dev";
    paths.workingDir = ".";
    paths.configHome = posix::UserConfigHome();
    paths.selfExe = "/proc/self/exe";
    return paths;
}

PosixSystemServices::PosixSystemServices(PosixSystemPaths paths) : paths_(std::move(paths)) {}

std::unique_ptr<SingleInstanceGuard> PosixSystemServices::LockSingleInstance(std::string_view name)
{
    // In a folder only this user may enter, beside the instance socket: no other user can hold
    // the lock (refusing our start) or own its file (leaving us unguarded). Without one, the
    // user's own settings folder, which every copy of this user finds alike.
    posix::UniqueFd folder = PrivateRuntimeFolder(paths_.runtimeDir, true);
    if (!folder.Valid()) {
        const fs::path own = paths_.configHome / "Lantorvix";
        std::error_code ec;
        fs::create_directories(own, ec);
        folder.Reset(::open(own.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    }
    const std::string file(name);
    const int fd = folder.Valid()
                       ? ::openat(folder.Get(), file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600)
                       : -1;
    if (fd < 0) {
        return std::make_unique<LockFileGuard>(-1);
    }
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held ? nullptr : std::make_unique<LockFileGuard>(-1);
    }
    return std::make_unique<LockFileGuard>(fd);
}

std::unique_ptr<AutostartStore> PosixSystemServices::OpenAutostart(AutostartAccess access)
{
    const fs::path userDir = paths_.configHome / "autostart";
    const fs::path& systemDir = paths_.autostartDir;
    if (access == AutostartAccess::ReadOnly) {
        // A folder that does not exist yet holds no entries.
        if (!UsableFolder(userDir) && !UsableFolder(systemDir)) {
            return nullptr;
        }
        return std::make_unique<DesktopAutostart>(userDir, systemDir, fs::path());
    }
    for (const fs::path* dir : {&systemDir, &userDir}) {
        if (WritableFolder(*dir)) {
            return std::make_unique<DesktopAutostart>(userDir, systemDir, *dir);
        }
    }
    return nullptr;
}

std::vector<SerialPortEntry> PosixSystemServices::EnumerateSerialPorts(std::string_view configuredPort)
{
    auto ports = ListSysfsSerialPorts(paths_.sysfsRoot, paths_.devRoot);
    struct stat st {};
    const std::string configured(configuredPort);
    const bool listed = std::any_of(ports.begin(), ports.end(),
                                    [&](const SerialPortEntry& port) { return port.portName == configured; });
    if (!listed && !configured.empty() && configured.front() == '/' && ::stat(configured.c_str(), &st) == 0 &&
        S_ISCHR(st.st_mode)) {
        ports.push_back({configured, configured});
    }
    return ports;
}

std::string PosixSystemServices::ExecutablePath()
{
    return posix::ExecutablePath(paths_.selfExe);
}

std::string PosixSystemServices::SettingsFilePath(std::string_view fileName)
{
    std::error_code ec;
    const fs::path local = paths_.workingDir / std::string(fileName);
    if (fs::exists(local, ec)) {
        return local.string();
    }
    return (paths_.configHome / "Lantorvix" / std::string(fileName)).string();
}

std::unique_ptr<SystemServices> CreateSystemServices()
{
    return std::make_unique<PosixSystemServices>(PosixSystemPaths::FromEnvironment());
}

} // namespace lantorvix
