#pragma once

#include "base/codepage.h"
#include "keys/keyboard_platform.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace lantorvix {

// An XKB layout by its names; empty fields take the configured defaults ($XKB_DEFAULT_*,
// then /etc/default/keyboard, then xkbcommon's own).
struct XkbNames {
    std::string rules;
    std::string model;
    std::string layout;
    std::string variant;
    std::string options;
};

// Layouts by their names, and the one in use: `group` (0-based) of the comma-separated list.
struct ActiveXkbLayout {
    XkbNames names;
    int group = 0;
};

struct LinuxKeyboardOptions {
    std::string display;                    // X display name; empty: $DISPLAY
    std::string uinputPath = "/dev/uinput"; // the uinput device node
    XkbNames uinputLayout;                  // the layout uinput keys are chosen for
    // The settings key [PROGRAM] KeyboardLayout= ("de", "de(nodeadkeys)", "hu,us"): the
    // layout uinput keys are chosen for, over everything else; empty: not set.
    std::string keyboardLayout;
    // The code page of bytes 128-255; unset: the Windows code page of $LC_ALL/$LC_CTYPE/$LANG.
    std::optional<CodePage> codePage;
    // Shows the "SendKeys" boxes (the GUI layer installs its own); unset: a line on stderr.
    MessageBoxHandler messageBox;
    // Dispatches pending keyboard input of the calling thread; unset: nothing to do.
    std::function<void()> pumpKeyboardMessages;
    // Hands every key event to the system on its own, as older versions did; only for
    // benchmarks that compare the two. Unset: $LANTORVIX_FLUSH_EACH_KEY_EVENT is "1".
    std::optional<bool> flushEachKeyEvent;
};

enum class KeyboardBackend { xtest, uinput, wayland };

// $LANTORVIX_KEYBOARD ("x11", "wayland" or "uinput") when set; otherwise the compositor's
// virtual keyboard in a Wayland session, XTest when an X display is named, uinput otherwise.
// `env` reads an environment variable (empty when unset).
KeyboardBackend PreferredKeyboardBackend(const std::function<std::string(const char*)>& env,
                                         const std::string& display = {});

// The keyboard of the Linux program, by PreferredKeyboardBackend: XTest on a reachable X
// display; in a Wayland session the compositor's virtual keyboard where it offers one
// (wlroots desktops: sway, labwc, Wayfire, Hyprland, cage); uinput otherwise, and whenever
// the preferred one cannot be set up unless it was forced. Throws Exception with a message
// saying what to fix when none can be used.
std::unique_ptr<KeyboardPlatform> CreateLinuxKeyboard(LinuxKeyboardOptions options = {});

// What `lantorvix --keyboard` reports: the keyboard keys are typed through, the layout and
// group they are chosen for, and where that came from. A backend fills in its own lines.
struct KeyboardDescription {
    std::string keyboard; // e.g. "XTest (X display :0)", "uinput (/dev/uinput)",
                          // "Wayland virtual keyboard (wayland-1)"
    std::string layout;   // XKB layouts with variants, e.g. "us,ru" or "de(nodeadkeys)"
    std::string group;    // 1-based, with its layout, e.g. "2 (ru)"
    std::string source;   // e.g. "X server", "settings key [PROGRAM] KeyboardLayout="
    std::string problem;  // why the keyboard cannot be used; empty when it can
};

// The keyboard CreateLinuxKeyboard would make, described without making it (no uinput
// device appears, no key code is lent).
KeyboardDescription DescribeLinuxKeyboard(const LinuxKeyboardOptions& options = {});
// One "Name: value" line per field that has a value.
std::string FormatKeyboardDescription(const KeyboardDescription& description);

// The Windows code page for the user's language from $LC_ALL, $LC_CTYPE or $LANG.
CodePage CodePageFromEnvironment();

} // namespace lantorvix
