#include "sway_session.h"

#include "keys/wayland/wayland_virtual_keyboard.h"

#include "support/wait_until.h"

#include <gtest/gtest.h>

#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <unistd.h>

namespace lantorvix::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {
constexpr const char* kUser = "nobody";

bool IsRoot()
{
    return ::geteuid() == 0;
}

// The keymap of a layout by its names, as a keyboard of that layout hands it over.
std::string LayoutKeymap(const std::string& layout, const std::string& variant)
{
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    const xkb_rule_names names{"evdev", "pc105", layout.c_str(), variant.c_str(), ""};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    std::string text;
    if (keymap != nullptr) {
        char* s = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
        text = s;
        std::free(s);
        xkb_keymap_unref(keymap);
    }
    xkb_context_unref(context);
    return text;
}
} // namespace

SwaySession::SwaySession(const fs::path& folder, const std::string& layout, const std::string& variant,
                         const std::vector<std::string>& programs)
    : folder_(folder)
{
    fs::create_directories(Folder() / "bin");
    for (const auto& p : programs) {
        fs::copy_file(p, Folder() / "bin" / fs::path(p).filename(), fs::copy_options::overwrite_existing);
    }
    // The program's window must not take the focus from the window the codes are typed into.
    std::ofstream(Folder() / "sway.config") << "xwayland disable\n"
                                            << "no_focus [app_id=\"^lantorvix$\"]\n"
                                            << "input type:keyboard xkb_layout " << layout << "\n";
    env_ = {{"XDG_RUNTIME_DIR", (Folder() / "runtime").string()},
            {"XDG_CONFIG_HOME", (Folder() / "config").string()},
            {"XDG_CONFIG_DIRS", (Folder() / "xdg").string()},
            {"HOME", Folder().string()},
            {"QT_QPA_PLATFORM", "wayland"},
            {"DISPLAY", ""},
            {"LANG", "C.UTF-8"},
            {"LC_ALL", ""},
            {"LC_CTYPE", ""},
            {"XDG_SESSION_TYPE", "wayland"},
            {"DBUS_SESSION_BUS_ADDRESS", "disabled:"},
            {"LANTORVIX_KEYBOARD", ""}};
    Hand(Folder());
    auto swayEnv = env_;
    swayEnv["WLR_BACKENDS"] = "headless";
    swayEnv["WLR_RENDERER"] = "pixman";
    swayEnv["WLR_HEADLESS_OUTPUTS"] = "1";
    swayEnv["WLR_LIBINPUT_NO_DEVICES"] = "1";
    // sway names its sockets itself, in the private runtime folder.
    swayEnv["WAYLAND_DISPLAY"] = "";
    sway_ = std::make_unique<ChildProcess>(
        ChildProcess::Options{AsUser({"sway", "-c", (Folder() / "sway.config").string()}), swayEnv,
                              Folder().string(), false, false});
    const fs::path runtime = Folder() / "runtime";
    std::string socket;
    std::string ipc;
    WaitUntil(
        [&] {
            for (const auto& entry : fs::directory_iterator(runtime)) {
                const std::string name = entry.path().filename().string();
                if (name.rfind("wayland-", 0) == 0 && entry.path().extension() != ".lock") {
                    socket = name;
                } else if (name.rfind("sway-ipc.", 0) == 0) {
                    ipc = entry.path().string();
                }
            }
            return (!socket.empty() && !ipc.empty()) || !sway_->Running();
        },
        20s);
    if (socket.empty() || ipc.empty()) {
        failure_ = "sway did not start";
        return;
    }
    env_["WAYLAND_DISPLAY"] = socket;
    env_["SWAYSOCK"] = ipc;
    if (!WaitUntil([&] { return Command("nop"); }, 20s)) {
        failure_ = "sway does not answer commands";
        return;
    }
    userKeyboard_ = std::make_unique<WaylandVirtualKeyboard>((runtime / socket).string());
    userKeyboard_->Keymap(LayoutKeymap(layout, variant));
    userKeyboard_->Flush();
}

SwaySession::~SwaySession()
{
    End();
}

bool SwaySession::StartTrayBar()
{
    bus_ = Start({"dbus-daemon", "--session", "--nofork", "--print-address",
                  "--address=unix:path=" + (Folder() / "runtime" / "bus").string()});
    const auto address = bus_->ReadLine(20s);
    if (!address) {
        return false;
    }
    env_["DBUS_SESSION_BUS_ADDRESS"] = *address;
    fs::create_directories(Folder() / "config" / "waybar");
    std::ofstream(Folder() / "config" / "waybar" / "config")
        << R"({"layer": "top", "height": 30, "modules-right": ["tray"], "tray": {"icon-size": 21}})";
    Hand(Folder() / "config");
    bar_ = Start({"waybar"}, {}, false, false);
    return WaitUntil(
        [&] {
            auto query = Start({"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                                "/org/freedesktop/DBus", "org.freedesktop.DBus.GetNameOwner",
                                "string:org.kde.StatusNotifierWatcher"});
            return query->Wait(10s) == 0;
        },
        20s);
}

std::string SwaySession::TrayItems()
{
    auto query = Start({"dbus-send", "--session", "--print-reply", "--dest=org.kde.StatusNotifierWatcher",
                        "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties.Get",
                        "string:org.kde.StatusNotifierWatcher", "string:RegisteredStatusNotifierItems"});
    std::string items;
    while (const auto line = query->ReadLine(10s)) {
        items += *line + "\n";
    }
    return items;
}

void SwaySession::End()
{
    bar_.reset();
    userKeyboard_.reset();
    if (sway_ && sway_->Running()) {
        sway_->Terminate();
        sway_->Wait(10s);
    }
    bus_.reset();
}

std::vector<std::string> SwaySession::AsUser(std::vector<std::string> argv) const
{
    if (IsRoot()) {
        argv.insert(argv.begin(),
                    {"setpriv", "--reuid", kUser, "--regid", "nogroup", "--clear-groups", "--"});
    }
    return argv;
}

void SwaySession::Hand(const fs::path& path) const
{
    if (!IsRoot()) {
        return;
    }
    const passwd* user = ::getpwnam(kUser);
    if (user == nullptr) {
        return;
    }
    const auto give = [&](const fs::path& p) {
        if (::lchown(p.c_str(), user->pw_uid, user->pw_gid) != 0) {
            ADD_FAILURE() << "cannot give " << p << " to " << kUser;
        }
    };
    give(path);
    if (fs::is_directory(path)) {
        for (const auto& entry : fs::recursive_directory_iterator(path)) {
            give(entry.path());
        }
    }
}

std::unique_ptr<ChildProcess> SwaySession::Start(std::vector<std::string> argv,
                                                 const std::string& workingDirectory, bool pipeStdin,
                                                 bool captureStdout)
{
    return std::make_unique<ChildProcess>(
        ChildProcess::Options{AsUser(std::move(argv)), env_, workingDirectory, pipeStdin, captureStdout});
}

bool SwaySession::Command(const std::string& command)
{
    auto swaymsg = Start({"swaymsg", "-q", command}, {}, false, false);
    return swaymsg->Wait(10s) == 0;
}

void SwaySession::UserTypes(const std::vector<std::uint16_t>& keys)
{
    for (const auto key : keys) {
        userKeyboard_->Key(key, true);
        userKeyboard_->Key(key, false);
    }
    userKeyboard_->Flush();
}

} // namespace lantorvix::test
