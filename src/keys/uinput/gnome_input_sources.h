#pragma once

#include "keys/linux_keyboard.h"

#include <memory>
#include <optional>

namespace lantorvix {

// GNOME's keyboard layouts (org.gnome.desktop.input-sources): its "xkb" sources in order,
// and the one in use, the first of "mru-sources". Changes are followed: each Read takes
// the notifications that came in since, on the calling thread's own GLib context.
// Thread safety: one thread (the one that opened it).
class GnomeInputSources {
public:
    // Nothing when the schema is not installed (no GNOME here).
    static std::unique_ptr<GnomeInputSources> Open();
    ~GnomeInputSources();
    GnomeInputSources(const GnomeInputSources&) = delete;
    GnomeInputSources& operator=(const GnomeInputSources&) = delete;

    // The layouts as XKB names ("de,us" with variants) and the group of the one in use;
    // nothing when no xkb source is configured.
    std::optional<ActiveXkbLayout> Read();

private:
    struct State;
    explicit GnomeInputSources(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

} // namespace lantorvix
