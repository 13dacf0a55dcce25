#pragma once

#include "serial/posix/unique_fd.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace lantorvix {

// The instance channel: a per-user local socket beside the single-instance lock, through
// which a starting copy asks the running one to show itself. It keeps a program that runs
// without a tray reachable. Only the same user gets through: the socket lives in a folder
// that only the user may enter (the runtime folder when it is private, else a private
// "lantorvix-<uid>" folder made in it), and both ends check the other's uid (SO_PEERCRED).
// A connection is the whole request; the running copy answers one line and hangs up.

// A folder only this user may enter: the runtime folder itself when it is private (as
// $XDG_RUNTIME_DIR is), else "lantorvix-<uid>" inside it (the temp-dir fallback), made when
// create is set; held open so that what was checked is what is used. Invalid when there is
// none (someone else's folder of that name, or one opened up). The single-instance lock
// lives here too, out of other users' reach.
posix::UniqueFd PrivateRuntimeFolder(const std::filesystem::path& runtimeDir, bool create);

// The running copy's end. Thread-safety: one thread; the event loop watches Fd() for reading
// and calls Serve.
class InstanceListener {
public:
    // Listens at <private folder>/<name>.sock, replacing a socket left by an ended copy (the
    // caller holds the single-instance lock, so no running copy owns it). Nothing when the
    // folder is not private or the socket cannot be made; the program then runs without it.
    static std::unique_ptr<InstanceListener> Open(const std::filesystem::path& runtimeDir,
                                                  std::string_view name);

    ~InstanceListener(); // stops listening and removes the socket
    InstanceListener(const InstanceListener&) = delete;
    InstanceListener& operator=(const InstanceListener&) = delete;

    // Readable when a caller waits.
    int Fd() const { return listenFd_.Get(); }

    // Serves every caller waiting now without blocking. A caller of another user is hung up
    // on unasked; for the others show() is called and its result answered (true: the window
    // was shown, the caller may end quietly).
    void Serve(const std::function<bool()>& show);

private:
    InstanceListener(posix::UniqueFd folder, posix::UniqueFd listener, std::string socketName);

    posix::UniqueFd folderFd_;
    posix::UniqueFd listenFd_;
    // Given up to take one caller off the queue when no descriptor is left (EMFILE), so that
    // a full table does not keep the listener readable for ever.
    posix::UniqueFd spareFd_;
    std::string socketName_;
};

// The starting copy's end: true when a running copy of this user answered, within the
// bound, that it showed its window. False when none listens, it refused, it is of another
// user, or it did not answer in time: the caller then goes on as if there were no channel.
bool AskRunningCopyToShow(const std::filesystem::path& runtimeDir, std::string_view name,
                          std::chrono::milliseconds bound);

} // namespace lantorvix
