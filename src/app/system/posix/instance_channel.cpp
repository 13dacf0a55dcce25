#include "app/system/posix/instance_channel.h"

#include "serial/posix/unique_fd.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

namespace lantorvix {
namespace {

namespace fs = std::filesystem;
using posix::UniqueFd;

constexpr std::string_view kShown = "shown\n";
constexpr std::string_view kRefused = "refused\n";

bool OnlyOwnerEnters(int folderFd)
{
    struct stat st {};
    return ::fstat(folderFd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

// The socket's address through the held folder: short whatever the folder's path, and it
// cannot be swapped for another folder after the check.
std::optional<sockaddr_un> Address(int folderFd, const std::string& socketName)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = "/proc/self/fd/" + std::to_string(folderFd) + "/" + socketName;
    if (path.size() >= sizeof(address.sun_path)) {
        return std::nullopt;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

bool PeerIsThisUser(int fd)
{
    ucred peer{};
    socklen_t size = sizeof(peer);
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && size == sizeof(peer) &&
           peer.uid == ::geteuid();
}

std::string SocketName(std::string_view name)
{
    return std::string(name) + ".sock";
}

UniqueFd SpareDescriptor()
{
    return UniqueFd(::open("/dev/null", O_RDONLY | O_CLOEXEC));
}

} // namespace

UniqueFd PrivateRuntimeFolder(const fs::path& runtimeDir, bool create)
{
    UniqueFd dir(::open(runtimeDir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!dir.Valid() || OnlyOwnerEnters(dir.Get())) {
        return dir;
    }
    const std::string own = "lantorvix-" + std::to_string(::geteuid());
    if (create && ::mkdirat(dir.Get(), own.c_str(), 0700) != 0 && errno != EEXIST) {
        return {};
    }
    UniqueFd sub(::openat(dir.Get(), own.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!sub.Valid() || !OnlyOwnerEnters(sub.Get())) {
        return {}; // someone else's, or opened up: no channel rather than an unsafe one
    }
    return sub;
}

InstanceListener::InstanceListener(UniqueFd folder, UniqueFd listener, std::string socketName)
    : folderFd_(std::move(folder)), listenFd_(std::move(listener)), spareFd_(SpareDescriptor()),
      socketName_(std::move(socketName))
{}

std::unique_ptr<InstanceListener> InstanceListener::Open(const fs::path& runtimeDir, std::string_view name)
{
    UniqueFd folder = PrivateRuntimeFolder(runtimeDir, true);
    if (!folder.Valid()) {
        return nullptr;
    }
    const std::string socketName = SocketName(name);
    const auto address = Address(folder.Get(), socketName);
    UniqueFd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!address || !listener.Valid()) {
        return nullptr;
    }
    ::unlinkat(folder.Get(), socketName.c_str(), 0); // left by a copy that ended abnormally
    if (::bind(listener.Get(), reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)) != 0) {
        return nullptr;
    }
    if (::listen(listener.Get(), 8) != 0) {
        ::unlinkat(folder.Get(), socketName.c_str(), 0);
        return nullptr;
    }
    return std::unique_ptr<InstanceListener>(
        new InstanceListener(std::move(folder), std::move(listener), socketName));
}

InstanceListener::~InstanceListener()
{
    listenFd_.Reset();
    ::unlinkat(folderFd_.Get(), socketName_.c_str(), 0);
}

void InstanceListener::Serve(const std::function<bool()>& show)
{
    for (;;) {
        UniqueFd caller(::accept4(listenFd_.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!caller.Valid()) {
            if (errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            if ((errno == EMFILE || errno == ENFILE) && spareFd_.Valid()) {
                // Out of descriptors: the caller waiting first is hung up on (it starts as if
                // no copy answered) instead of staying queued and waking the loop for ever.
                spareFd_.Reset();
                const bool hungUp =
                    UniqueFd(::accept4(listenFd_.Get(), nullptr, nullptr, SOCK_CLOEXEC)).Valid();
                spareFd_ = SpareDescriptor();
                if (!hungUp) {
                    return;
                }
                continue;
            }
            return; // EAGAIN: nobody else waits
        }
        if (!PeerIsThisUser(caller.Get())) {
            continue;
        }
        const std::string_view answer = show() ? kShown : kRefused;
        // A few bytes into a fresh socket's empty buffer: never blocks.
        [[maybe_unused]] const auto sent = ::send(caller.Get(), answer.data(), answer.size(), MSG_NOSIGNAL);
    }
}

bool AskRunningCopyToShow(const fs::path& runtimeDir, std::string_view name, std::chrono::milliseconds bound)
{
    const UniqueFd folder = PrivateRuntimeFolder(runtimeDir, false);
    if (!folder.Valid()) {
        return false;
    }
    const auto address = Address(folder.Get(), SocketName(name));
    // Non-blocking: a full backlog refuses at once instead of waiting without a bound.
    const UniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!address || !socket.Valid() ||
        ::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)) != 0) {
        return false; // no copy listens (or only a socket left behind by an ended one)
    }
    if (!PeerIsThisUser(socket.Get())) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + bound;
    std::string answer;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd p{socket.Get(), POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) {
            return false;
        }
        if (ready <= 0) {
            continue;
        }
        char buffer[16];
        const ssize_t got = ::recv(socket.Get(), buffer, sizeof(buffer), 0);
        if (got > 0) {
            answer.append(buffer, static_cast<std::size_t>(got));
            if (answer.size() < kShown.size() && kShown.substr(0, answer.size()) == answer) {
                continue;
            }
            return answer == kShown;
        }
        if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
            return false; // hung up without the answer
        }
    }
}

} // namespace lantorvix
