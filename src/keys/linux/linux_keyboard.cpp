#include "keys/linux_keyboard.h"

#include "base/exception.h"
#include "keys/linux/xkb_names_layout.h"
#include "keys/uinput/uinput_keyboard.h"
#include "keys/wayland/wayland_keyboard.h"
#include "keys/wayland/wayland_virtual_keyboard.h"
#include "keys/x11/xtest_keyboard.h"

#include <cstdlib>

namespace lantorvix {

namespace {
std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v == nullptr ? std::string() : std::string(v);
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
        KeyLayout layout(DescribeXkbLayout(ConfiguredXkbNames(options.uinputLayout)));
        auto keyboard =
            std::make_unique<UinputKeyboard>(UinputDevice::Create(options.uinputPath), std::move(layout),
                                             codePage, options.messageBox, options.pumpKeyboardMessages);
        keyboard->SetFlushEachEvent(flushEachEvent);
        return keyboard;
    } catch (const Exception& e) {
        throw Exception(earlier + e.what());
    }
}

} // namespace lantorvix
