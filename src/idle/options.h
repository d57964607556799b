// What `vellora --idle [SECONDS]` takes from its command line, the settings
// file and the environment: the delay, the desktop session it watches, and
// the name of the lock that lets one watcher run per session.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "runtime/services.h"

namespace vellora::idle {

inline constexpr unsigned default_seconds = 600;
// The idle protocols count in milliseconds in 32 bits: about 49 days.
inline constexpr unsigned max_seconds = 4294967;

// "--idle [SECONDS]": the delay given, nothing when it is left to the
// settings file, or the message that refuses the arguments.
struct Arguments {
    std::optional<unsigned> seconds;
    std::string error;  // empty when the arguments are sound
};
Arguments parse_arguments(const std::vector<std::string>& args);

// A whole number of seconds from 1 to max_seconds, written in digits alone.
std::optional<unsigned> parse_seconds(const std::string& text);

// The delay from "[Idle] seconds" of the settings file: 600 when it is not
// there; 600 with a warning when it is there but unreadable.
struct Delay {
    unsigned seconds = default_seconds;
    std::string warning;  // empty when the value was sound or missing
};
Delay delay_setting(rt::ProfileFile& settings);

// The desktop session the watcher serves, from WAYLAND_DISPLAY, DISPLAY
// and XDG_CURRENT_DESKTOP.
struct Session {
    std::string wayland_display;
    std::string x_display;
    std::string desktop;

    static Session from_environment();
    [[nodiscard]] bool wayland() const { return !wayland_display.empty(); }
    [[nodiscard]] bool graphical() const { return wayland() || !x_display.empty(); }
    // "sway, Wayland display wayland-1", "X display :0", "no graphical session ...".
    [[nodiscard]] std::string describe() const;
    // The file name of the one-watcher-per-session lock of user `uid`:
    // "vellora-idle-<uid>-wayland-<display>.lock" or "...-x11-<display>.lock",
    // the display named the same whichever screen of it is given.
    [[nodiscard]] std::string lock_name(unsigned uid) const;
};

}  // namespace vellora::idle
