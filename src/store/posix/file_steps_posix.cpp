#include "store/file_steps.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lantorvix::store {

namespace {

// Closes the descriptor when it goes.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd()
    {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd& operator=(Fd&&) = delete;
    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    // Closes now, reporting the result.
    bool Close()
    {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool WriteAllAt(int fd, std::string_view content, off_t at)
{
    while (!content.empty()) {
        const ssize_t n = ::pwrite(fd, content.data(), content.size(), at);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        content.remove_prefix(static_cast<std::size_t>(n));
        at += n;
    }
    return true;
}

bool ReadAll(int fd, std::string& out)
{
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            return true;
        }
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

bool IsRegular(int fd)
{
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

// Opens a regular file without ever waiting on a FIFO or a device (and without taking a
// terminal as the controlling one); anything else is closed again at once.
Fd OpenRegular(const std::filesystem::path& path, int flags)
{
    Fd fd(::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.Valid() && !IsRegular(fd.Get())) {
        return Fd(-1);
    }
    return fd;
}

bool Missing(int error)
{
    return error == ENOENT || error == ENOTDIR;
}

} // namespace

FileContent ReadRegularFile(const std::filesystem::path& path)
{
    FileContent file;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        file.state = Missing(errno) ? FileState::missing : FileState::unusable;
        return file;
    }
    // Checked before opening too: opening a device can act on it.
    file.state = FileState::unusable;
    if (!S_ISREG(st.st_mode)) {
        return file;
    }
    const Fd fd = OpenRegular(path, O_RDONLY);
    file.bytes.reserve(static_cast<std::size_t>(st.st_size));
    if (fd.Valid() && ReadAll(fd.Get(), file.bytes)) {
        file.state = FileState::read;
    } else {
        file.bytes.clear();
    }
    return file;
}

bool RegularOrMissing(const std::filesystem::path& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? S_ISREG(st.st_mode) : Missing(errno);
}

CreateResult CreateDurably(const std::filesystem::path& path, std::string_view content,
                           const std::filesystem::path& like)
{
    // Private until it has the old file's owner and mode.
    Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, like.empty() ? 0666 : 0600));
    if (!fd.Valid()) {
        return errno == EACCES || errno == EPERM ? CreateResult::folderClosed : CreateResult::failed;
    }
    const auto fail = [&](CreateResult result) {
        ::unlink(path.c_str());
        return result;
    };
    if (!like.empty()) {
        struct stat old {};
        if (::stat(like.c_str(), &old) != 0) {
            return fail(CreateResult::failed);
        }
        struct stat made {};
        if (::fstat(fd.Get(), &made) != 0 || ((made.st_uid != old.st_uid || made.st_gid != old.st_gid) &&
                                              ::fchown(fd.Get(), old.st_uid, old.st_gid) != 0)) {
            return fail(CreateResult::cannotKeep);
        }
        if (::fchmod(fd.Get(), old.st_mode & 07777) != 0) {
            return fail(CreateResult::cannotKeep);
        }
    }
    if (!WriteAllAt(fd.Get(), content, 0) || ::fsync(fd.Get()) != 0 || !fd.Close()) {
        return fail(CreateResult::failed);
    }
    return CreateResult::written;
}

bool RewriteDurably(const std::filesystem::path& path, std::string_view content)
{
    Fd fd = OpenRegular(path, O_RDWR);
    std::string old;
    if (!fd.Valid() || !ReadAll(fd.Get(), old)) {
        return false;
    }
    const auto oldSize = static_cast<off_t>(old.size());
    const auto newSize = static_cast<off_t>(content.size());
    if (newSize > oldSize) {
        // Room first, past the old end, where nothing old is touched: a full disk or a size
        // limit stops the save here. The file system reserves the blocks when it can.
        const int reserved = ::posix_fallocate(fd.Get(), oldSize, newSize - oldSize);
        if ((reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL) ||
            !WriteAllAt(fd.Get(), content.substr(old.size()), oldSize)) {
            [[maybe_unused]] const int rc = ::ftruncate(fd.Get(), oldSize);
            ::fsync(fd.Get());
            return false;
        }
        content = content.substr(0, old.size());
    }
    if (WriteAllAt(fd.Get(), content, 0) && ::ftruncate(fd.Get(), newSize) == 0 && ::fsync(fd.Get()) == 0) {
        return fd.Close();
    }
    // Whatever reached the file, the old bytes go back.
    if (WriteAllAt(fd.Get(), old, 0)) {
        [[maybe_unused]] const int rc = ::ftruncate(fd.Get(), oldSize);
    }
    ::fsync(fd.Get());
    return false;
}

bool MayWrite(const std::filesystem::path& path)
{
    // Opening without truncating changes nothing; non-blocking so that a FIFO cannot hang us.
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
}

bool HasOtherNames(const std::filesystem::path& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && st.st_nlink > 1;
}

bool ReplaceDurably(const std::filesystem::path& source, const std::filesystem::path& target)
{
    if (::rename(source.c_str(), target.c_str()) != 0) {
        return false;
    }
    // The new name is only safe once the folder is on the disk too. A file system that cannot
    // sync a folder has nothing more to offer; the rename stands.
    const auto folder = target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return true;
}

void RemoveFile(const std::filesystem::path& path)
{
    ::unlink(path.c_str());
}

} // namespace lantorvix::store
