#include "support/kde_keyboard_service.h"

#include <gio/gio.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lantorvix::test {

namespace {
constexpr const char* kInterface = R"xml(<node><interface name="org.kde.KeyboardLayouts">
  <method name="getLayout"><arg type="u" direction="out"/></method>
  <method name="getLayoutsList"><arg type="a(sss)" direction="out"/></method>
</interface></node>)xml";

// The first line a child writes, waiting at most `ms`.
std::string FirstLine(int fd, int ms)
{
    std::string line;
    char ch = 0;
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, ms) == 1 && ::read(fd, &ch, 1) == 1 && ch != '\n') {
        line += ch;
    }
    return ch == '\n' ? line : std::string();
}
} // namespace

struct KdeKeyboardService::Glib {
    GMainContext* context = g_main_context_new();
    GMainLoop* loop = g_main_loop_new(context, FALSE);
    GDBusConnection* bus = nullptr;
    ~Glib()
    {
        if (bus != nullptr) {
            g_dbus_connection_close_sync(bus, nullptr, nullptr);
            g_object_unref(bus);
        }
        g_main_loop_unref(loop);
        g_main_context_unref(context);
    }
};

KdeKeyboardService::KdeKeyboardService(const std::string& folder, std::vector<std::string> layouts)
    : layouts_(std::move(layouts)), glib_(std::make_unique<Glib>())
{
    const std::string listen = "--address=unix:path=" + folder + "/kde-bus";
    const char* argv[] = {"dbus-daemon", "--session", "--nofork", "--print-address", listen.c_str(), nullptr};
    GPid pid = -1;
    int out = -1;
    if (!g_spawn_async_with_pipes(nullptr, const_cast<gchar**>(argv), nullptr,
                                  static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD),
                                  nullptr, nullptr, &pid, nullptr, &out, nullptr, nullptr)) {
        return;
    }
    daemon_ = pid;
    const std::string address = FirstLine(out, 10000);
    ::close(out);
    if (address.empty()) {
        return;
    }
    glib_->bus = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    if (glib_->bus == nullptr) {
        return;
    }
    static const GDBusInterfaceVTable vtable{
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method, GVariant*,
           GDBusMethodInvocation* invocation, gpointer data) {
            auto* self = static_cast<KdeKeyboardService*>(data);
            if (g_strcmp0(method, "getLayout") == 0) {
                g_dbus_method_invocation_return_value(invocation,
                                                      g_variant_new("(u)", self->current_.load()));
                return;
            }
            GVariantBuilder list;
            g_variant_builder_init(&list, G_VARIANT_TYPE("a(sss)"));
            for (const std::string& layout : self->layouts_) {
                g_variant_builder_add(&list, "(sss)", layout.c_str(), layout.c_str(), layout.c_str());
            }
            g_dbus_method_invocation_return_value(invocation, g_variant_new("(a(sss))", &list));
        },
        nullptr,
        nullptr,
        {}};
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kInterface, nullptr);
    // Calls are dispatched on the context current when the object is registered; the
    // registration holds its own reference to the interface.
    g_main_context_push_thread_default(glib_->context);
    const guint registered = g_dbus_connection_register_object(glib_->bus, "/Layouts", node->interfaces[0],
                                                               &vtable, this, nullptr, nullptr);
    g_main_context_pop_thread_default(glib_->context);
    g_dbus_node_info_unref(node);
    GVariant* owned = g_dbus_connection_call_sync(
        glib_->bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
        g_variant_new("(su)", "org.kde.keyboard", 4u), G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 10000,
        nullptr, nullptr);
    if (registered == 0 || owned == nullptr) {
        return;
    }
    g_variant_unref(owned);
    thread_ = std::thread([loop = glib_->loop] { g_main_loop_run(loop); });
    address_ = address;
}

KdeKeyboardService::~KdeKeyboardService()
{
    if (thread_.joinable()) {
        // Quitting from here could come before the loop runs; a source on its context cannot.
        g_main_context_invoke(
            glib_->context,
            [](gpointer loop) {
                g_main_loop_quit(static_cast<GMainLoop*>(loop));
                return G_SOURCE_REMOVE;
            },
            glib_->loop);
        thread_.join();
    }
    glib_.reset();
    if (daemon_ > 0) {
        ::kill(daemon_, SIGTERM);
        ::waitpid(daemon_, nullptr, 0);
    }
}

void KdeKeyboardService::Switch(unsigned index)
{
    current_ = index;
}

} // namespace lantorvix::test
