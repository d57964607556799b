// The Linux side of the runtime's non-window services: where files live,
// the per-user store, the desktop's lock setting read as the registry value
// the saver asks for, and the one-copy-per-user lock.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "runtime/services.h"
#include "runtime/ini_file.h"

namespace vellora::qt {

// The folders the program uses, from the XDG variables and $HOME.
struct Paths {
    std::filesystem::path config_dir;   // settings file and per-user store
    std::filesystem::path data_dir;     // the spare picture
    std::filesystem::path runtime_dir;  // the instance lock
    std::filesystem::path home;         // ~/.xscreensaver

    // ${XDG_CONFIG_HOME:-$HOME/.config}/vellora, ${XDG_DATA_HOME:-$HOME/.local/share}/vellora,
    // ${XDG_RUNTIME_DIR:-/tmp}.
    static Paths from_environment();
    [[nodiscard]] std::filesystem::path settings_file() const { return config_dir / "vellora.ini"; }
    [[nodiscard]] std::filesystem::path user_store_file() const { return config_dir / "user-store.ini"; }
    [[nodiscard]] std::filesystem::path spare_picture() const { return data_dir / "imgx.bmp"; }
};

// Values in the per-user store may hold any character; the ones an ini file
// would trim, cut or misread are written as \xHH.
std::string escape_store_value(const std::string& value);
std::string unescape_store_value(const std::string& text);

// The per-user store as a profile file: section "<application>\<section>".
class UserStoreFile final : public rt::UserStore {
public:
    explicit UserStoreFile(std::filesystem::path file);
    [[nodiscard]] std::string read(const std::string& application, const std::string& section,
                                   const std::string& key, const std::string& fallback) override;
    bool write(const std::string& application, const std::string& section, const std::string& key,
               const std::string& value) override;

private:
    settings::IniFile ini_;
};

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

// The registry as the saver sees it: the one value "ScreenSaveUsePassword"
// under HKEY_CURRENT_USER "Control Panel\Desktop", a DWORD that carries the
// desktop's lock setting. Everything else is missing.
class DesktopRegistry final : public rt::Registry {
public:
    explicit DesktopRegistry(LockSources sources);
    [[nodiscard]] std::optional<Key> open(std::uint32_t root, const std::string& path,
                                          std::uint32_t access) override;
    [[nodiscard]] Query query(Key key, const std::string& value_name, std::uint32_t buffer_size) override;
    void close(Key key) override;
    [[nodiscard]] int open_keys() const { return open_keys_; }

private:
    LockSources sources_;
    int open_keys_ = 0;
};

// One running copy per user: an flock()ed file. The lock lives as long as
// this object (and the kernel drops it when the process dies).
class InstanceLock {
public:
    explicit InstanceLock(std::filesystem::path file);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    // Takes the lock on first call; true when another process holds it.
    [[nodiscard]] bool held_elsewhere();

private:
    std::filesystem::path file_;
    int fd_ = -1;
    std::optional<bool> answer_;
};

}  // namespace vellora::qt
