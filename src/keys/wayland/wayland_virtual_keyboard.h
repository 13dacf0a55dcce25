#pragma once

#include "keys/wayland/virtual_keyboard_output.h"

#include <memory>
#include <string>

struct wl_display;
struct wl_registry;
struct wl_seat;
struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;

namespace lantorvix {

// A zwp_virtual_keyboard_v1 on the compositor's first seat, over a connection of its own.
// Keymaps travel in sealed memory files. Requests queue up until Flush, which waits while
// the socket is full; a lost connection (the session ended) is an Exception.
// Thread safety: one thread at a time.
class WaylandVirtualKeyboard : public VirtualKeyboardOutput {
public:
    // Connects to the display (empty: $WAYLAND_DISPLAY). Throws Exception when there is no
    // compositor or it offers no virtual keyboard manager or seat.
    explicit WaylandVirtualKeyboard(const std::string& displayName = {});
    ~WaylandVirtualKeyboard() override;
    WaylandVirtualKeyboard(const WaylandVirtualKeyboard&) = delete;
    WaylandVirtualKeyboard& operator=(const WaylandVirtualKeyboard&) = delete;

    void Keymap(const std::string& text) override;
    void Key(std::uint16_t evdev, bool press) override;
    void Modifiers(std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked,
                   std::uint32_t group) override;
    void Flush() override;

    struct Globals;

private:
    void Queued(std::size_t bytes);
    void CheckConnection();
    void Close();

    wl_display* display_ = nullptr;
    std::unique_ptr<Globals> globals_;
    zwp_virtual_keyboard_v1* keyboard_ = nullptr;
    std::size_t queuedBytes_ = 0;
};

// Why the compositor of the display (empty: $WAYLAND_DISPLAY) gives no virtual keyboard;
// empty when it does.
std::string VirtualKeyboardProblem(const std::string& displayName = {});

} // namespace lantorvix
