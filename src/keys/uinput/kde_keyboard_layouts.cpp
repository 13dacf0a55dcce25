#include "keys/uinput/kde_keyboard_layouts.h"

#include "base/posix/user_paths.h"
#include "keys/linux/xkb_names_layout.h"

#include <gio/gio.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace lantorvix {

namespace {
// A service that hangs must not hold up a scan for long.
constexpr int kCallTimeoutMs = 500;

std::filesystem::path ConfigFile()
{
    return posix::UserConfigHome() / "kxkbrc";
}

std::vector<std::string> SplitCommas(const std::string& text)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const auto comma = text.find(',', start);
        out.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) {
            return out;
        }
        start = comma + 1;
    }
}

// "layout" or "layout(variant)" for each entry of [Layout] LayoutList; empty when Plasma
// does not set the layouts itself.
std::vector<std::string> ConfiguredLayouts(const std::filesystem::path& file)
{
    std::ifstream in(file);
    std::string line, section, layouts, variants, use = "true";
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line.front() == '[') {
            section = line;
            continue;
        }
        const auto eq = line.find('=');
        if (section != "[Layout]" || eq == std::string::npos) {
            continue;
        }
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        if (key == "LayoutList") {
            layouts = value;
        } else if (key == "VariantList") {
            variants = value;
        } else if (key == "Use") {
            use = value;
        }
    }
    std::vector<std::string> out;
    if (layouts.empty() || use == "false") {
        return out;
    }
    const auto variant = SplitCommas(variants);
    const auto layout = SplitCommas(layouts);
    for (std::size_t i = 0; i < layout.size(); ++i) {
        out.push_back(i < variant.size() && !variant[i].empty() ? layout[i] + "(" + variant[i] + ")"
                                                                : layout[i]);
    }
    return out;
}
} // namespace

struct KdeKeyboardLayouts::State {
    std::filesystem::path file;
    GDBusConnection* bus = nullptr;
    ~State()
    {
        if (bus != nullptr) {
            g_dbus_connection_close_sync(bus, nullptr, nullptr);
            g_object_unref(bus);
        }
    }

    // A reply of the keyboard service, or nothing when it is not there.
    GVariant* Call(const char* method, const char* replyType) const
    {
        if (bus == nullptr) {
            return nullptr;
        }
        return g_dbus_connection_call_sync(bus, "org.kde.keyboard", "/Layouts", "org.kde.KeyboardLayouts",
                                           method, nullptr, G_VARIANT_TYPE(replyType),
                                           G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs, nullptr, nullptr);
    }
};

KdeKeyboardLayouts::KdeKeyboardLayouts(std::unique_ptr<State> state) : state_(std::move(state)) {}
KdeKeyboardLayouts::~KdeKeyboardLayouts() = default;

std::unique_ptr<KdeKeyboardLayouts> KdeKeyboardLayouts::Open()
{
    auto state = std::make_unique<State>();
    state->file = ConfigFile();
    if (!std::filesystem::is_regular_file(state->file)) {
        return nullptr;
    }
    // A connection of our own: the shared one would tie us to the default main context.
    if (gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
        state->bus = g_dbus_connection_new_for_address_sync(
            address,
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        g_free(address);
    }
    return std::unique_ptr<KdeKeyboardLayouts>(new KdeKeyboardLayouts(std::move(state)));
}

std::optional<ActiveXkbLayout> KdeKeyboardLayouts::Read()
{
    std::vector<std::string> layouts = ConfiguredLayouts(state_->file);
    if (layouts.empty()) {
        return std::nullopt;
    }
    // The service's list is the one its index counts in; the file may lag behind it.
    if (GVariant* reply = state_->Call("getLayoutsList", "(a(sss))")) {
        std::vector<std::string> running;
        GVariantIter* iter = nullptr;
        g_variant_get(reply, "(a(sss))", &iter);
        const gchar* name = nullptr;
        while (g_variant_iter_next(iter, "(&s&s&s)", &name, nullptr, nullptr)) {
            running.emplace_back(name);
        }
        g_variant_iter_free(iter);
        g_variant_unref(reply);
        bool same = running.size() == layouts.size();
        for (std::size_t i = 0; same && i < running.size(); ++i) {
            same = layouts[i].substr(0, layouts[i].find('(')) == running[i];
        }
        if (!running.empty() && !same) {
            layouts = running;
        }
    }
    ActiveXkbLayout out;
    std::string text;
    for (const std::string& layout : layouts) {
        if (!text.empty()) {
            text += ',';
        }
        text += layout;
    }
    out.names = XkbNamesFromLayoutText(text);
    if (GVariant* reply = state_->Call("getLayout", "(u)")) {
        guint32 index = 0;
        g_variant_get(reply, "(u)", &index);
        g_variant_unref(reply);
        if (index < layouts.size()) {
            out.group = static_cast<int>(index);
        }
    }
    return out;
}

} // namespace lantorvix
