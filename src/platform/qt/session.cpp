#include "platform/qt/session.h"

#include <string_view>

#include "platform/qt/hack_mode.h"
#include "runtime/text.h"

namespace vellora::qt {

SessionChoice choose_session(const std::string& wayland_display, const std::string& display,
                             const std::string& qpa_platform, const std::string& x11_window) {
    const bool wayland = !wayland_display.empty() || qpa_platform.rfind("wayland", 0) == 0;
    SessionChoice choice;
    if (!wayland) return choice;  // an X session: Qt's own choice is xcb
    if (!x11_window.empty()) {
        if (display.empty()) {
            choice.refusal = "vellora: " + x11_window +
                             " draws into another program's X11 window, and this Wayland session has no X server "
                             "(Xwayland) to hold one";
        } else {
            choice.platform = "xcb";  // through Xwayland
        }
        return choice;
    }
    // Qt itself would pick X11 on GNOME's Wayland session, or fail without Xwayland.
    if (qpa_platform.empty()) choice.platform = display.empty() ? "wayland" : "wayland;xcb";
    return choice;
}

std::string needs_x11_window(const std::vector<std::string>& args, bool hack) {
    if (hack) {
        for (const auto& a : args) {
            if (a.rfind('-', 0) == 0) return a;
        }
    }
    // The switch as start-up reads it: the first two characters of the argument text, in upper case.
    const std::string joined = join_arguments(args);
    const std::string_view text = rt::trim(joined, " ");
    return rt::to_upper(std::string(text.substr(0, 2))) == "/P" ? "/P" : "";
}

}  // namespace vellora::qt
