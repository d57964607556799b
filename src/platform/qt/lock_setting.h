// The desktop's "password on wake" setting, which Linux keeps in the
// desktop's own configuration rather than in a registry: XScreenSaver's
// "lock:" resource, GNOME's lock-enabled, KDE Plasma's automatic screen
// lock. Each is read from its file, never by starting one of the desktop's
// programs, so the saver's start waits on no other process.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vellora::qt {

// Where the setting comes from.
struct LockSources {
    std::optional<bool> override_value;     // VELLORA_LOCK=0/1
    std::filesystem::path xscreensaver_rc;  // ~/.xscreensaver, its "lock:" resource
    bool ask_desktop = true;                // GNOME's and KDE's own settings
    bool never = false;                     // hack mode: no prompt can ever appear
    std::string desktop;                    // XDG_CURRENT_DESKTOP, e.g. "KDE" or "ubuntu:GNOME"
    // kscreenlockerrc in $XDG_CONFIG_HOME, then in each folder of $XDG_CONFIG_DIRS
    std::vector<std::filesystem::path> kde_files = {};

    // The desktop and KDE's system files from the environment; the rest as given. An empty `home` or
    // `config_home` (none known) reads no file of the user's, never one in the current folder.
    static LockSources from_environment(std::optional<bool> override_value, const std::filesystem::path& home,
                                        const std::filesystem::path& config_home, bool ask_desktop, bool never);
};

// Reads the lock setting: the override, else XScreenSaver's resource, else
// the desktop's own (KDE's on KDE Plasma, GNOME's on GNOME; elsewhere KDE's
// where it has a file, else GNOME's); nothing when no source says anything.
std::optional<bool> read_lock_setting(const LockSources& sources);
// The "lock:" resource of an ~/.xscreensaver text.
std::optional<bool> xscreensaver_lock(const std::string& rc_text);
// KDE Plasma locks the screen when it has been idle for its timeout unless
// "Lock screen automatically" is off: [Daemon] Autolock, on by default. The
// first file that sets it decides; nothing when none of them exists.
std::optional<bool> kde_autolock(const std::vector<std::filesystem::path>& files);

}  // namespace vellora::qt
