#include "app/system/posix/inotify_device_watch.h"

#include "serial/device_name.h"
#include "serial/main_thread_dispatcher.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <poll.h>
#include <string_view>
#include <sys/inotify.h>
#include <system_error>
#include <unistd.h>

namespace lantorvix {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto kRetry = std::chrono::seconds(1);
constexpr std::uint32_t kFolderEvents =
    IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// The folder to watch for path: its own folder, or the nearest one above that exists.
fs::path NearestFolder(const fs::path& path)
{
    fs::path dir = path.parent_path();
    std::error_code error;
    while (!dir.empty() && dir != dir.root_path() && !fs::is_directory(dir, error)) {
        dir = dir.parent_path();
    }
    return dir.empty() ? fs::path("/") : dir;
}

// "ttyUSB" for "ttyUSB0": the kernel gives a returning device a name of the same kind.
std::string_view Stem(std::string_view name)
{
    while (!name.empty() && name.back() >= '0' && name.back() <= '9') {
        name.remove_suffix(1);
    }
    return name;
}

// Reads every event waiting on a non-blocking inotify descriptor into onEvent.
template <typename OnEvent> void ForEachEvent(int fd, OnEvent onEvent)
{
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            onEvent(*event);
        }
    }
}

// One inotify descriptor with the watch on the folder nearest to the path.
class FolderWatch {
public:
    explicit FolderWatch(fs::path path)
        : path_(std::move(path)), fd_(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK))
    {
        Rewatch();
    }

    int Fd() const { return fd_.Get(); }

    // Follows the folder nearest to the path (folders come and go with the devices).
    void Rewatch()
    {
        const fs::path dir = NearestFolder(path_);
        if (!fd_.Valid() || (wd_ >= 0 && dir == folder_)) {
            return;
        }
        if (wd_ >= 0) {
            ::inotify_rm_watch(Fd(), wd_);
        }
        wd_ = ::inotify_add_watch(Fd(), dir.c_str(), kFolderEvents);
        folder_ = wd_ >= 0 ? dir : fs::path();
    }

    // Reads the events waiting; true when one may concern the path.
    bool Relevant()
    {
        bool relevant = false;
        ForEachEvent(Fd(), [&](const inotify_event& event) {
            if ((event.mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) != 0) {
                wd_ = -1; // the folder went: watch the nearest one again
                relevant = true;
            } else if (folder_ != path_.parent_path()) {
                relevant = true; // a folder above changed: the path's own may be back
            } else if (event.len > 0 && (path_.filename() == event.name ||
                                         Stem(path_.filename().native()) == Stem(event.name))) {
                relevant = true; // the device, or one that may be it under a new number
            }
        });
        return relevant;
    }

private:
    const fs::path path_;
    const posix::UniqueFd fd_;
    int wd_ = -1;
    fs::path folder_;
};

// One inotify descriptor on the folder that holds a device node, for the node's removal.
class RemovalWatch {
public:
    explicit RemovalWatch(const fs::path& node)
        : name_(node.filename().string()), fd_(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK))
    {
        if (fd_.Valid()) {
            ::inotify_add_watch(Fd(), node.parent_path().c_str(), IN_DELETE | IN_MOVED_FROM | IN_ONLYDIR);
        }
    }

    int Fd() const { return fd_.Get(); }

    // Reads the events waiting; true when the node is among the removed.
    bool Gone()
    {
        bool gone = false;
        ForEachEvent(
            Fd(), [&](const inotify_event& event) { gone = gone || (event.len > 0 && name_ == event.name); });
        return gone;
    }

private:
    const std::string name_;
    const posix::UniqueFd fd_;
};

} // namespace

struct InotifyDeviceWatch::Shared {
    std::function<void()> chance; // main thread only
    bool active = true;           // main thread only
    std::atomic<bool> queued{false};
};

InotifyDeviceWatch::InotifyDeviceWatch(MainThreadDispatcher& dispatcher) : dispatcher_(dispatcher) {}

std::unique_ptr<DeviceWatch> CreateDeviceWatch(MainThreadDispatcher& dispatcher)
{
    return std::make_unique<InotifyDeviceWatch>(dispatcher);
}

InotifyDeviceWatch::~InotifyDeviceWatch()
{
    Stop();
}

template <typename Body> void InotifyDeviceWatch::Start(std::function<void()> call, Body body)
{
    Stop();
    shared_ = std::make_shared<Shared>();
    shared_->chance = std::move(call);
    try {
        stop_.emplace();
    } catch (...) {
        shared_.reset();
        throw;
    }
    thread_ =
        std::thread([shared = shared_, &dispatcher = dispatcher_, stopFd = stop_->Get(),
                     body = std::move(body)]() mutable { body(stopFd, [&] { Post(dispatcher, shared); }); });
}

void InotifyDeviceWatch::Post(MainThreadDispatcher& dispatcher, const std::shared_ptr<Shared>& shared)
{
    if (shared->queued.exchange(true)) {
        return; // one already waits for the main thread
    }
    dispatcher.Post([shared] {
        shared->queued = false;
        if (shared->active && shared->chance) {
            const auto call = shared->chance; // it may end this watch
            call();
        }
    });
}

void InotifyDeviceWatch::Watch(const std::string& portName, std::function<void()> chance)
{
    const fs::path path = PosixDeviceName(portName);
    // Watched before this returns: a device that comes back at once is not missed.
    auto folderWatch = std::make_shared<FolderWatch>(path);
    std::error_code error;
    const bool there = fs::exists(path, error);
    removalOnly_ = false;
    Start(std::move(chance), [watching = std::move(folderWatch), path, there](int stopFd, auto post) {
        FolderWatch& folder = *watching;
        if (there) {
            post(); // back already, before the watch began
        }
        auto tick = Clock::now() + kRetry;
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(tick - Clock::now()).count();
            pollfd fds[2] = {{stopFd, POLLIN, 0}, {folder.Fd(), POLLIN, 0}};
            const int ready = ::poll(fds, 2, left > 0 ? static_cast<int>(left) : 0);
            if (ready < 0 && errno != EINTR) {
                return;
            }
            if ((fds[0].revents & POLLIN) != 0) {
                return;
            }
            bool maybeBack = false;
            if ((fds[1].revents & POLLIN) != 0) {
                maybeBack = folder.Relevant();
            }
            if (Clock::now() >= tick) {
                // A path that is not there cannot be opened: the main thread sleeps on.
                std::error_code missing;
                maybeBack = maybeBack || fs::exists(path, missing);
                tick = Clock::now() + kRetry;
                folder.Rewatch();
            }
            if (maybeBack) {
                folder.Rewatch();
                post();
            }
        }
    });
}

void InotifyDeviceWatch::WatchRemoval(const std::string& portName, std::function<void()> removed)
{
    std::error_code error;
    // The node itself, also when the port is named by a link (/dev/serial/by-id/...).
    const fs::path node = fs::canonical(PosixDeviceName(portName), error);
    if (error) {
        Stop();
        return;
    }
    auto removal = std::make_shared<RemovalWatch>(node);
    removalOnly_ = true;
    Start(std::move(removed), [removal](int stopFd, auto post) {
        for (;;) {
            pollfd fds[2] = {{stopFd, POLLIN, 0}, {removal->Fd(), POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
                return;
            }
            if ((fds[0].revents & POLLIN) != 0) {
                return;
            }
            if ((fds[1].revents & POLLIN) != 0 && removal->Gone()) {
                post();
                return;
            }
        }
    });
}

void InotifyDeviceWatch::Stop()
{
    if (!thread_.joinable()) {
        return;
    }
    stop_->Signal();
    thread_.join();
    stop_.reset();
    // A chance still queued finds the watch ended.
    shared_->active = false;
    shared_->chance = nullptr;
    shared_.reset();
}

} // namespace lantorvix
