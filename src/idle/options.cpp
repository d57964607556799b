#include "idle/options.h"

#include <string_view>

#include "runtime/text.h"

namespace vellora::idle {

std::optional<unsigned> parse_seconds(const std::string& text) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    unsigned long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > max_seconds) return std::nullopt;
    return static_cast<unsigned>(value);
}

Arguments parse_arguments(const std::vector<std::string>& args) {
    Arguments result;
    if (args.size() > 2) {
        result.error = "vellora --idle: unexpected argument \"" + args[2] + "\"; usage: vellora --idle [SECONDS]";
    } else if (args.size() == 2) {
        result.seconds = parse_seconds(args[1]);
        if (!result.seconds) {
            result.error = "vellora --idle: \"" + args[1] + "\" is not a number of seconds from 1 to " +
                           std::to_string(max_seconds);
        }
    }
    return result;
}

Delay delay_setting(rt::ProfileFile& settings) {
    // A value that cannot be there: tells a missing key from an empty one.
    static constexpr const char* missing = "\n";
    const std::string text = settings.read("Idle", "seconds", missing);
    Delay delay;
    if (text == missing) return delay;
    if (const auto seconds = parse_seconds(std::string(rt::trim(text)))) {
        delay.seconds = *seconds;
    } else {
        delay.warning = "vellora --idle: [Idle] seconds=" + text + " (the settings in " + settings.location() +
                        ") is not a number of seconds from 1 to " + std::to_string(max_seconds) + "; using " +
                        std::to_string(default_seconds);
    }
    return delay;
}

Session Session::from_environment() {
    return {rt::env("WAYLAND_DISPLAY"), rt::env("DISPLAY"), rt::env("XDG_CURRENT_DESKTOP")};
}

std::string Session::describe() const {
    std::string where;
    if (wayland()) {
        where = "Wayland display " + wayland_display;
    } else if (!x_display.empty()) {
        where = "X display " + x_display;
    } else {
        return "no graphical session: neither WAYLAND_DISPLAY nor DISPLAY is set";
    }
    return desktop.empty() ? where : desktop + ", " + where;
}

namespace {

// A display name as part of a file name: letters, digits, '.', '-' and '_'
// kept, everything else (the '/' of an absolute socket path, ':') as '_'.
std::string file_name_part(std::string_view name) {
    std::string part;
    for (const char c : name) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                          c == '-' || c == '_';
        part += keep ? c : '_';
    }
    return part;
}

// ":0.1" and ":0" are the same X server: the screen number is dropped.
std::string_view x_server(std::string_view display) {
    const auto colon = display.rfind(':');
    if (colon == std::string_view::npos) return display;
    const auto dot = display.find('.', colon);
    return dot == std::string_view::npos ? display : display.substr(0, dot);
}

}  // namespace

std::string Session::lock_name(unsigned uid) const {
    const std::string display =
        wayland() ? "wayland-" + file_name_part(wayland_display) : "x11-" + file_name_part(x_server(x_display));
    return "vellora-idle-" + std::to_string(uid) + "-" + display + ".lock";
}

}  // namespace vellora::idle
