#include "keys/uinput/gnome_input_sources.h"

#include "keys/linux/xkb_names_layout.h"

#include <gio/gio.h>

#include <string>
#include <utility>
#include <vector>

namespace lantorvix {

namespace {
constexpr const char* kSchema = "org.gnome.desktop.input-sources";

// The (type, id) pairs of an a(ss) value.
std::vector<std::pair<std::string, std::string>> Pairs(GSettings* settings, const char* key)
{
    std::vector<std::pair<std::string, std::string>> out;
    GVariant* value = g_settings_get_value(settings, key);
    GVariantIter iter;
    g_variant_iter_init(&iter, value);
    const gchar* type = nullptr;
    const gchar* id = nullptr;
    while (g_variant_iter_next(&iter, "(&s&s)", &type, &id)) {
        out.emplace_back(type, id);
    }
    g_variant_unref(value);
    return out;
}
} // namespace

struct GnomeInputSources::State {
    GMainContext* context = nullptr;
    GSettings* settings = nullptr;
    ~State()
    {
        if (settings != nullptr) {
            g_object_unref(settings);
        }
        if (context != nullptr) {
            g_main_context_unref(context);
        }
    }
};

GnomeInputSources::GnomeInputSources(std::unique_ptr<State> state) : state_(std::move(state)) {}
GnomeInputSources::~GnomeInputSources() = default;

std::unique_ptr<GnomeInputSources> GnomeInputSources::Open()
{
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema =
        source == nullptr ? nullptr : g_settings_schema_source_lookup(source, kSchema, TRUE);
    if (schema == nullptr) {
        return nullptr;
    }
    const bool complete =
        g_settings_schema_has_key(schema, "sources") && g_settings_schema_has_key(schema, "mru-sources");
    g_settings_schema_unref(schema);
    if (!complete) {
        return nullptr;
    }
    auto state = std::make_unique<State>();
    // Change notifications go to a context of our own, taken on each Read.
    state->context = g_main_context_new();
    g_main_context_push_thread_default(state->context);
    state->settings = g_settings_new(kSchema);
    g_main_context_pop_thread_default(state->context);
    return std::unique_ptr<GnomeInputSources>(new GnomeInputSources(std::move(state)));
}

std::optional<ActiveXkbLayout> GnomeInputSources::Read()
{
    while (g_main_context_iteration(state_->context, FALSE)) {
    }
    std::string text;
    std::vector<std::string> ids;
    for (const auto& [type, id] : Pairs(state_->settings, "sources")) {
        if (type == "xkb") {
            ids.push_back(id);
        }
    }
    if (ids.empty()) {
        return std::nullopt;
    }
    ActiveXkbLayout sources;
    // GNOME writes a variant as "de+nodeadkeys".
    for (std::size_t i = 0; i < ids.size(); ++i) {
        std::string id = ids[i];
        if (const auto plus = id.find('+'); plus != std::string::npos) {
            id = id.substr(0, plus) + "(" + id.substr(plus + 1) + ")";
        }
        if (i > 0) {
            text += ',';
        }
        text += id;
    }
    sources.names = XkbNamesFromLayoutText(text);
    const auto mru = Pairs(state_->settings, "mru-sources");
    if (!mru.empty() && mru.front().first == "xkb") {
        for (std::size_t i = 0; i < ids.size(); ++i) {
            if (ids[i] == mru.front().second) {
                sources.group = static_cast<int>(i);
            }
        }
    }
    return sources;
}

} // namespace lantorvix
