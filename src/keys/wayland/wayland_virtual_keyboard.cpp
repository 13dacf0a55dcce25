#include "keys/wayland/wayland_virtual_keyboard.h"

#include "base/exception.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

namespace lantorvix {

struct WaylandVirtualKeyboard::Globals {
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    zwp_virtual_keyboard_manager_v1* manager = nullptr;
};

namespace {
// libwayland's own buffer holds 4096 bytes and treats a full socket as fatal: requests are
// pushed out, waiting for room, before that (the keyboard flushes sooner, between keystrokes).
constexpr std::size_t kFlushAt = 3800;
constexpr std::size_t kRequestBytes = 24;

void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t /*version*/)
{
    auto* g = static_cast<WaylandVirtualKeyboard::Globals*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && g->seat == nullptr) {
        g->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
        g->manager = static_cast<zwp_virtual_keyboard_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    }
}

void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}

const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

std::uint32_t NowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint32_t>(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}

// A sealed memory file holding the text and its terminating NUL.
int SealedFile(const std::string& text)
{
    const int fd = memfd_create("lantorvix-keymap", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0) {
        throw Exception(std::string("memfd_create: ") + std::strerror(errno));
    }
    const char* p = text.c_str();
    std::size_t left = text.size() + 1;
    while (left > 0) {
        const ssize_t n = write(fd, p, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int err = errno;
            close(fd);
            throw Exception(std::string("writing the keymap: ") + std::strerror(err));
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) < 0) {
        const int err = errno;
        close(fd);
        throw Exception(std::string("sealing the keymap: ") + std::strerror(err));
    }
    return fd;
}
} // namespace

WaylandVirtualKeyboard::WaylandVirtualKeyboard(const std::string& displayName)
    : globals_(std::make_unique<Globals>())
{
    display_ = wl_display_connect(displayName.empty() ? nullptr : displayName.c_str());
    if (display_ == nullptr) {
        throw Exception("cannot connect to the Wayland compositor");
    }
    try {
        globals_->registry = wl_display_get_registry(display_);
        wl_registry_add_listener(globals_->registry, &kRegistryListener, globals_.get());
        if (wl_display_roundtrip(display_) < 0) {
            throw Exception("the Wayland compositor did not answer");
        }
        if (globals_->manager == nullptr) {
            throw Exception(
                "the Wayland compositor offers no virtual keyboard (zwp_virtual_keyboard_manager_v1)");
        }
        if (globals_->seat == nullptr) {
            throw Exception("the Wayland compositor has no seat");
        }
        keyboard_ =
            zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(globals_->manager, globals_->seat);
        // A compositor that refuses us says so in an error.
        if (wl_display_roundtrip(display_) < 0) {
            throw Exception("the Wayland compositor refused a virtual keyboard");
        }
    } catch (...) {
        Close();
        throw;
    }
}

WaylandVirtualKeyboard::~WaylandVirtualKeyboard()
{
    Close();
}

void WaylandVirtualKeyboard::Close()
{
    if (display_ == nullptr) {
        return;
    }
    if (keyboard_ != nullptr) {
        zwp_virtual_keyboard_v1_destroy(keyboard_);
    }
    if (globals_->manager != nullptr) {
        zwp_virtual_keyboard_manager_v1_destroy(globals_->manager);
    }
    if (globals_->seat != nullptr) {
        wl_seat_destroy(globals_->seat);
    }
    if (globals_->registry != nullptr) {
        wl_registry_destroy(globals_->registry);
    }
    wl_display_flush(display_);
    wl_display_disconnect(display_);
    display_ = nullptr;
}

void WaylandVirtualKeyboard::Keymap(const std::string& text)
{
    const int fd = SealedFile(text);
    Queued(kRequestBytes);
    zwp_virtual_keyboard_v1_keymap(keyboard_, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                   static_cast<std::uint32_t>(text.size() + 1));
    close(fd); // the request carries its own copy
}

void WaylandVirtualKeyboard::Key(std::uint16_t evdev, bool press)
{
    Queued(kRequestBytes);
    zwp_virtual_keyboard_v1_key(keyboard_, NowMs(), evdev,
                                press ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
}

void WaylandVirtualKeyboard::Modifiers(std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked,
                                       std::uint32_t group)
{
    Queued(kRequestBytes);
    zwp_virtual_keyboard_v1_modifiers(keyboard_, depressed, latched, locked, group);
}

void WaylandVirtualKeyboard::Queued(std::size_t bytes)
{
    CheckConnection();
    if (queuedBytes_ + bytes > kFlushAt) {
        Flush();
    }
    queuedBytes_ += bytes;
}

void WaylandVirtualKeyboard::CheckConnection()
{
    if (const int err = wl_display_get_error(display_); err != 0) {
        throw Exception(std::string("the Wayland connection is lost: ") + std::strerror(err));
    }
}

void WaylandVirtualKeyboard::Flush()
{
    CheckConnection();
    while (wl_display_flush(display_) < 0) {
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN) {
            throw Exception(std::string("the Wayland connection is lost: ") + std::strerror(errno));
        }
        pollfd p{wl_display_get_fd(display_), POLLOUT, 0};
        if (poll(&p, 1, -1) < 0 && errno != EINTR) {
            throw Exception(std::string("poll: ") + std::strerror(errno));
        }
        if ((p.revents & (POLLHUP | POLLERR)) != 0) {
            throw Exception("the Wayland connection is lost");
        }
    }
    queuedBytes_ = 0;
    // Take what the compositor sent (seat details, errors) so its queue to us never fills.
    pollfd p{wl_display_get_fd(display_), POLLIN, 0};
    if (poll(&p, 1, 0) > 0) {
        if ((p.revents & POLLIN) != 0) {
            if (wl_display_dispatch(display_) < 0) {
                throw Exception(std::string("the Wayland connection is lost: ") + std::strerror(errno));
            }
        } else if ((p.revents & (POLLHUP | POLLERR)) != 0) {
            throw Exception("the Wayland connection is lost");
        }
    }
}

std::string VirtualKeyboardProblem(const std::string& displayName)
{
    try {
        WaylandVirtualKeyboard probe(displayName);
    } catch (const Exception& e) {
        return e.what();
    }
    return {};
}

} // namespace lantorvix
