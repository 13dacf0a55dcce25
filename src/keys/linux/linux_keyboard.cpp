#include "keys/linux_keyboard.h"

#include "base/exception.h"
#include "keys/linux/xkb_names_layout.h"
#include "keys/uinput/gnome_input_sources.h"
#include "keys/uinput/kde_keyboard_layouts.h"
#include "keys/uinput/uinput_keyboard.h"
#include "keys/wayland/wayland_keyboard.h"
#include "keys/wayland/wayland_virtual_keyboard.h"
#include "keys/x11/x_layout.h"
#include "keys/x11/xtest_keyboard.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

namespace lantorvix {

namespace {
std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v == nullptr ? std::string() : std::string(v);
}

// The uinput layout, asked again for each key sequence: the settings key, else the desktop's
// (GNOME, then KDE Plasma), else the environment and /etc/default/keyboard.
std::function<UinputLayoutChoice()> UinputLayoutResolver(const LinuxKeyboardOptions& options)
{
    std::shared_ptr<GnomeInputSources> gnome;
    std::shared_ptr<KdeKeyboardLayouts> kde;
    if (options.keyboardLayout.empty() && options.uinputLayout.layout.empty()) {
        gnome = GnomeInputSources::Open();
        kde = KdeKeyboardLayouts::Open();
    }
    return [gnome, kde, given = options.uinputLayout, key = options.keyboardLayout] {
        if (gnome) {
            if (auto sources = gnome->Read()) {
                return UinputLayoutChoice{sources->names, sources->group,
                                          "GNOME (org.gnome.desktop.input-sources)"};
            }
        }
        if (kde) {
            if (auto layouts = kde->Read()) {
                return UinputLayoutChoice{layouts->names, layouts->group, "KDE (kxkbrc, org.kde.keyboard)"};
            }
        }
        return ChooseUinputLayout(given, key);
    };
}
} // namespace

CodePage CodePageFromEnvironment()
{
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        if (const std::string v = Env(name); !v.empty()) {
            return CodePageForLanguage(v);
        }
    }
    return CodePage::cp1252;
}

KeyboardBackend PreferredKeyboardBackend(const std::function<std::string(const char*)>& env,
                                         const std::string& display)
{
    const std::string forced = env("LANTORVIX_KEYBOARD");
    if (forced == "x11" || forced == "xtest") {
        return KeyboardBackend::xtest;
    }
    if (forced == "wayland") {
        return KeyboardBackend::wayland;
    }
    if (forced == "uinput") {
        return KeyboardBackend::uinput;
    }
    if (!env("WAYLAND_DISPLAY").empty()) {
        return KeyboardBackend::wayland;
    }
    const bool wayland = env("XDG_SESSION_TYPE") == "wayland";
    const bool x11 = !display.empty() || !env("DISPLAY").empty();
    return x11 && !wayland ? KeyboardBackend::xtest : KeyboardBackend::uinput;
}

std::unique_ptr<KeyboardPlatform> CreateLinuxKeyboard(LinuxKeyboardOptions options)
{
    const CodePage codePage = options.codePage.value_or(CodePageFromEnvironment());
    const bool flushEachEvent =
        options.flushEachKeyEvent.value_or(Env("LANTORVIX_FLUSH_EACH_KEY_EVENT") == "1");
    const KeyboardBackend preferred = PreferredKeyboardBackend(Env, options.display);
    const bool forced = !Env("LANTORVIX_KEYBOARD").empty();
    std::string earlier;
    // The preferred keyboard; when it cannot be set up, uinput, unless one was forced.
    const auto attempt = [&](const std::function<std::unique_ptr<LinuxKeyboardBase>()>& make) {
        std::unique_ptr<LinuxKeyboardBase> keyboard;
        try {
            keyboard = make();
            keyboard->SetFlushEachEvent(flushEachEvent);
        } catch (const Exception& e) {
            if (forced) {
                throw;
            }
            earlier = std::string(e.what()) + "; ";
        }
        return keyboard;
    };
    if (preferred == KeyboardBackend::wayland) {
        if (auto keyboard = attempt([&] {
                return std::make_unique<WaylandKeyboard>(std::make_unique<WaylandVirtualKeyboard>(), codePage,
                                                         options.messageBox, options.pumpKeyboardMessages);
            })) {
            return keyboard;
        }
    }
    if (preferred == KeyboardBackend::xtest) {
        if (auto keyboard = attempt([&] {
                return std::make_unique<XTestKeyboard>(options.display, codePage, options.messageBox,
                                                       options.pumpKeyboardMessages);
            })) {
            return keyboard;
        }
    }
    try {
        auto resolve = UinputLayoutResolver(options);
        const UinputLayoutChoice choice = resolve();
        KeyLayout layout(DescribeXkbLayout(choice.names, choice.group));
        auto keyboard =
            std::make_unique<UinputKeyboard>(UinputDevice::Create(options.uinputPath), std::move(layout),
                                             codePage, options.messageBox, options.pumpKeyboardMessages);
        keyboard->SetFlushEachEvent(flushEachEvent);
        keyboard->FollowLayout(std::move(resolve), choice);
        return keyboard;
    } catch (const Exception& e) {
        throw Exception(earlier + e.what());
    }
}

namespace {
KeyboardDescription DescribeUinput(const LinuxKeyboardOptions& options)
{
    KeyboardDescription d;
    d.keyboard = "uinput (" + options.uinputPath + ")";
    const UinputLayoutChoice choice = UinputLayoutResolver(options)();
    d.layout = LayoutText(choice.names);
    d.group = std::to_string(choice.group + 1) + " (" + GroupLayoutText(choice.names, choice.group) + ")";
    d.source = choice.source;
    try {
        DescribeXkbLayout(choice.names, choice.group);
    } catch (const Exception& e) {
        d.problem = e.what();
    }
    if (::access(options.uinputPath.c_str(), W_OK) != 0) {
        const std::string reason = options.uinputPath + ": " + std::strerror(errno);
        d.problem = d.problem.empty() ? reason : d.problem + "; " + reason;
    }
    return d;
}
} // namespace

KeyboardDescription DescribeLinuxKeyboard(const LinuxKeyboardOptions& options)
{
    std::string earlier;
    const KeyboardBackend preferred = PreferredKeyboardBackend(Env, options.display);
    if (preferred == KeyboardBackend::wayland) {
        // The probe connects and asks for a virtual keyboard, but sends no keymap and no key.
        const std::string problem = VirtualKeyboardProblem();
        if (problem.empty() || !Env("LANTORVIX_KEYBOARD").empty()) {
            const std::string display = Env("WAYLAND_DISPLAY");
            KeyboardDescription d;
            d.keyboard =
                "Wayland virtual keyboard (" + (display.empty() ? std::string("wayland-0") : display) + ")";
            d.layout = "the program's own keymap, every character as itself";
            d.source = "the program";
            d.problem = problem;
            return d;
        }
        earlier = problem + "; ";
    }
    if (preferred == KeyboardBackend::xtest) {
        const std::string name = options.display.empty() ? Env("DISPLAY") : options.display;
        if (const auto names = DescribeXServer(name)) {
            KeyboardDescription d;
            d.keyboard = "XTest (X display " + name + ")";
            d.layout = LayoutText(names->names);
            d.group =
                std::to_string(names->group + 1) + " (" + GroupLayoutText(names->names, names->group) + ")";
            d.source = "X server";
            return d;
        }
        earlier = "Cannot open the X display \"" + name + "\"; ";
    }
    KeyboardDescription d = DescribeUinput(options);
    if (!earlier.empty()) {
        d.problem = earlier + d.problem;
    }
    return d;
}

std::string FormatKeyboardDescription(const KeyboardDescription& d)
{
    std::string out;
    const std::pair<const char*, const std::string*> lines[] = {{"Keyboard", &d.keyboard},
                                                                {"Layout", &d.layout},
                                                                {"Group", &d.group},
                                                                {"From", &d.source},
                                                                {"Problem", &d.problem}};
    for (const auto& [name, value] : lines) {
        if (!value->empty()) {
            out += std::string(name) + ": " + *value + "\n";
        }
    }
    return out;
}

} // namespace lantorvix
