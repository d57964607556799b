// Which of Qt's platforms the program runs on. In a Wayland session it runs
// natively on Wayland; the preview ("/P") and XScreenSaver's hack draw into
// an X11 window that another program made, which only an X server has:
// there they run through Xwayland when the session has it, and otherwise
// the program says so in one line and ends.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vellora::qt {

struct SessionChoice {
    std::optional<std::string> platform;  // the value for QT_QPA_PLATFORM; nothing keeps Qt's own choice
    std::string refusal;                  // not empty: the one line to print before ending
};

// `wayland_display`, `display` and `qpa_platform` are the values of
// WAYLAND_DISPLAY, DISPLAY and QT_QPA_PLATFORM (empty when unset);
// `x11_window` names what needs an X11 window ("/P", "-root"...), empty when
// nothing does.
SessionChoice choose_session(const std::string& wayland_display, const std::string& display,
                             const std::string& qpa_platform, const std::string& x11_window);

// What in the command line needs another program's X11 window: "/P" (the
// preview), a hack's "-root" or "-window-id"; empty when nothing does.
std::string needs_x11_window(const std::vector<std::string>& args, bool hack);

}  // namespace vellora::qt
