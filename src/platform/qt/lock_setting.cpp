// GLib's headers first: Qt's keyword macros are not defined in this file.
#include <dconf.h>
#include <gio/gio.h>

#include "platform/qt/lock_setting.h"

#include <fstream>
#include <memory>
#include <sstream>
#include <string_view>

#include "runtime/text.h"

namespace vellora::qt {

namespace {

constexpr std::string_view kBlanks = " \t\r\n";

std::optional<bool> parse_bool(const std::string& text) {
    const auto t = rt::to_lower(std::string(rt::trim(text, kBlanks)));
    if (t == "true" || t == "1" || t == "yes" || t == "on") return true;
    if (t == "false" || t == "0" || t == "no" || t == "off") return false;
    return std::nullopt;
}

std::optional<std::string> read_file(const std::filesystem::path& file) {
    std::ifstream in(file);
    if (!in) return std::nullopt;
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct GObjectRelease {
    void operator()(void* object) const { g_object_unref(object); }
};
struct GVariantRelease {
    void operator()(GVariant* value) const { g_variant_unref(value); }
};
struct SchemaRelease {
    void operator()(GSettingsSchema* schema) const { g_settings_schema_unref(schema); }
};
struct SchemaKeyRelease {
    void operator()(GSettingsSchemaKey* key) const { g_settings_schema_key_unref(key); }
};

// org.gnome.desktop.screensaver lock-enabled: the user's value from dconf's
// database files (read in place, no D-Bus), else the installed schema's
// default; nothing when the schema is not installed.
std::optional<bool> gnome_lock_enabled() {
    GSettingsSchemaSource* schemas = g_settings_schema_source_get_default();  // not ours to release
    if (schemas == nullptr) return std::nullopt;
    const std::unique_ptr<GSettingsSchema, SchemaRelease> schema(
        g_settings_schema_source_lookup(schemas, "org.gnome.desktop.screensaver", TRUE));
    if (!schema || !g_settings_schema_has_key(schema.get(), "lock-enabled")) return std::nullopt;
    const std::unique_ptr<DConfClient, GObjectRelease> dconf(dconf_client_new());
    std::unique_ptr<GVariant, GVariantRelease> value(
        dconf ? dconf_client_read(dconf.get(), "/org/gnome/desktop/screensaver/lock-enabled") : nullptr);
    if (!value || !g_variant_is_of_type(value.get(), G_VARIANT_TYPE_BOOLEAN)) {
        const std::unique_ptr<GSettingsSchemaKey, SchemaKeyRelease> key(
            g_settings_schema_get_key(schema.get(), "lock-enabled"));
        value.reset(g_settings_schema_key_get_default_value(key.get()));
    }
    if (!value || !g_variant_is_of_type(value.get(), G_VARIANT_TYPE_BOOLEAN)) return std::nullopt;
    return g_variant_get_boolean(value.get()) != FALSE;
}

bool desktop_is(const std::string& desktops, std::string_view name) {
    std::stringstream list(desktops);
    std::string one;
    while (std::getline(list, one, ':')) {
        if (rt::same_name(one, name)) return true;
    }
    return false;
}

}  // namespace

LockSources LockSources::from_environment(std::optional<bool> override_value, const std::filesystem::path& home,
                                          const std::filesystem::path& config_home, bool ask_desktop, bool never) {
    LockSources s{override_value, home.empty() ? std::filesystem::path() : home / ".xscreensaver", ask_desktop, never,
                  rt::env("XDG_CURRENT_DESKTOP")};
    // KDE's configuration cascades the XDG way: the user's file, then the system's.
    if (!config_home.empty()) s.kde_files.push_back(config_home / "kscreenlockerrc");
    std::string dirs = rt::env("XDG_CONFIG_DIRS");
    if (dirs.empty()) dirs = "/etc/xdg";
    std::stringstream list(dirs);
    std::string dir;
    while (std::getline(list, dir, ':')) {
        if (std::filesystem::path(dir).is_absolute()) s.kde_files.push_back(std::filesystem::path(dir) / "kscreenlockerrc");
    }
    return s;
}

std::optional<bool> xscreensaver_lock(const std::string& rc_text) {
    std::istringstream in(rc_text);
    std::string line;
    std::optional<bool> found;
    while (std::getline(in, line)) {
        const auto t = rt::trim(line, kBlanks);
        if (t.rfind("lock:", 0) != 0) continue;
        found = parse_bool(std::string(t.substr(5)));
    }
    return found;
}

std::optional<bool> kde_autolock(const std::vector<std::filesystem::path>& files) {
    bool any = false;
    for (const auto& file : files) {
        const auto text = read_file(file);
        if (!text) continue;
        any = true;
        std::istringstream in(*text);
        std::string line;
        std::string group;
        std::optional<bool> found;
        while (std::getline(in, line)) {
            const auto t = rt::trim(line, kBlanks);
            if (t.empty() || t[0] == '#') continue;
            if (t[0] == '[') {
                group = std::string(t.substr(0, t.find(']') + 1));
                continue;
            }
            const auto eq = t.find('=');
            if (group != "[Daemon]" || eq == std::string_view::npos) continue;
            // A key may carry KConfig's flags or a locale: Autolock[$i]=false.
            const auto name = rt::trim(t.substr(0, std::min(eq, t.find('['))), kBlanks);
            if (name == "Autolock") found = parse_bool(std::string(t.substr(eq + 1)));
        }
        if (found) return found;
    }
    if (any) return true;  // Plasma's default
    return std::nullopt;
}

std::optional<bool> read_lock_setting(const LockSources& sources) {
    if (sources.never) return false;
    if (sources.override_value) return sources.override_value;
    if (!sources.xscreensaver_rc.empty()) {
        if (const auto text = read_file(sources.xscreensaver_rc)) {
            if (auto v = xscreensaver_lock(*text)) return v;
        }
    }
    if (!sources.ask_desktop) return std::nullopt;
    if (desktop_is(sources.desktop, "KDE")) return kde_autolock(sources.kde_files).value_or(true);
    if (desktop_is(sources.desktop, "GNOME")) return gnome_lock_enabled();
    if (auto v = kde_autolock(sources.kde_files)) return v;
    return gnome_lock_enabled();
}

}  // namespace vellora::qt
