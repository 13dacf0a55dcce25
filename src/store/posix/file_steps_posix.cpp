#include "store/file_steps.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace lantorvix::store {

namespace {

bool WriteAll(int fd, std::string_view content)
{
    while (!content.empty()) {
        const ssize_t n = ::write(fd, content.data(), content.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        content.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Data written, synced and the descriptor closed without error; the descriptor is closed in
// any case.
bool FinishWrite(int fd, std::string_view content)
{
    bool ok = WriteAll(fd, content) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    return ok;
}

} // namespace

CreateResult CreateDurably(const std::filesystem::path& path, std::string_view content)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        return CreateResult::notCreated;
    }
    if (!FinishWrite(fd, content)) {
        ::unlink(path.c_str());
        return CreateResult::failed;
    }
    return CreateResult::written;
}

bool OverwriteDurably(const std::filesystem::path& path, std::string_view content)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
    return fd >= 0 && FinishWrite(fd, content);
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
