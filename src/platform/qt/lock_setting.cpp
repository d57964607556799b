#include "platform/qt/lock_setting.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
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

bool on_path(const std::string& program) {
    std::stringstream path(rt::env("PATH"));
    std::string dir;
    while (std::getline(path, dir, ':')) {
        if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    }
    return false;
}

std::optional<bool> gnome_lock_enabled() {
    if (!on_path("gsettings")) return std::nullopt;
    // A fixed command line; a missing schema makes gsettings fail and print nothing.
    FILE* pipe = ::popen("timeout 2 gsettings get org.gnome.desktop.screensaver lock-enabled 2>/dev/null", "r");
    if (pipe == nullptr) return std::nullopt;
    std::string out;
    char buffer[64];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
    const int status = ::pclose(pipe);
    if (status != 0) return std::nullopt;
    return parse_bool(out);
}

}  // namespace

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

std::optional<bool> read_lock_setting(const LockSources& sources) {
    if (sources.never) return false;
    if (sources.override_value) return sources.override_value;
    if (!sources.xscreensaver_rc.empty()) {
        std::ifstream in(sources.xscreensaver_rc);
        if (in) {
            std::stringstream text;
            text << in.rdbuf();
            if (auto v = xscreensaver_lock(text.str())) return v;
        }
    }
    if (sources.ask_gsettings) return gnome_lock_enabled();
    return std::nullopt;
}

}  // namespace vellora::qt
