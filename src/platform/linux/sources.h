// The idle sources a Linux desktop session may offer, and GNOME's inhibitors.
#pragma once

#include <memory>

#include "idle/watcher.h"

namespace vellora::lnx {

// ext-idle-notify-v1 or org_kde_kwin_idle on a connection of its own to the
// compositor of $WAYLAND_DISPLAY; nothing when the compositor lacks it.
std::unique_ptr<idle::IdleSource> open_wayland_idle(idle::SourceKind kind, unsigned seconds);

// org.gnome.Mutter.IdleMonitor on the session bus; nothing when it is not there.
std::unique_ptr<idle::IdleSource> open_mutter_idle(unsigned seconds);

// MIT-SCREEN-SAVER of the X server of $DISPLAY; nothing without it.
std::unique_ptr<idle::IdleSource> open_x11_idle(unsigned seconds);

// org.gnome.SessionManager's IsInhibited (the idle flag), asked on the
// session bus at each idle period; nothing holds idleness off when no
// session manager answers.
class GnomeInhibitors final : public idle::Inhibitors {
public:
    [[nodiscard]] bool idle_inhibited() override;
};

}  // namespace vellora::lnx
