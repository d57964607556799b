// The desktop's "password on wake" setting, which Linux keeps in the
// desktop's own configuration rather than in a registry.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vellora::qt {

// Where the desktop's "password on wake" setting comes from.
struct LockSources {
    std::optional<bool> override_value;   // VELLORA_LOCK=0/1
    std::filesystem::path xscreensaver_rc;  // ~/.xscreensaver, its "lock:" resource
    bool ask_gsettings = true;             // org.gnome.desktop.screensaver lock-enabled
    bool never = false;                    // hack mode: no prompt can ever appear
};

// Reads the lock setting: the override, else XScreenSaver's resource, else
// GNOME's; nothing when no source says anything.
std::optional<bool> read_lock_setting(const LockSources& sources);
// The "lock:" resource of an ~/.xscreensaver text.
std::optional<bool> xscreensaver_lock(const std::string& rc_text);

}  // namespace vellora::qt
