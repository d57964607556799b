// The system services on Linux: where files live, the settings file, the
// per-user store, the desktop's lock setting, the one-copy-per-user lock,
// the clock and the cursor, help, pictures, and where failures go.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/qt/hack_mode.h"
#include "platform/qt/help.h"
#include "platform/qt/lock_setting.h"
#include "platform/qt/pictures.h"
#include "platform/qt/trace.h"
#include "runtime/ini_file.h"
#include "runtime/platform.h"

namespace vellora::qt {

// The folders the program uses, from the XDG variables and the home folder.
// A folder left empty is not known: nothing is read from it or kept in it.
struct Paths {
    std::filesystem::path config_dir;   // settings file and per-user store
    std::filesystem::path data_dir;     // the user's own data: the spare picture, the help file
    std::filesystem::path runtime_dir;  // the instance lock
    std::filesystem::path home;         // ~/.xscreensaver; empty when no home folder is known
    std::filesystem::path config_home;  // the user's XDG config folder (KDE's files); empty when unknown
    std::vector<std::filesystem::path> system_data_dirs = {};  // data installed for everyone, in order

    // ${XDG_CONFIG_HOME:-~/.config}/vellora, ${XDG_DATA_HOME:-~/.local/share}/vellora,
    // each absolute folder of ${XDG_DATA_DIRS:-/usr/local/share:/usr/share} with /vellora,
    // ${XDG_RUNTIME_DIR:-the config folder}. An XDG variable that is not an
    // absolute path counts as unset; ~ is $HOME when that is an absolute path,
    // else the home folder of the password database.
    static Paths from_environment();
    [[nodiscard]] std::filesystem::path settings_file() const { return config_dir / "vellora.ini"; }
    [[nodiscard]] std::filesystem::path user_store_file() const { return config_dir / "user-store.ini"; }
    // Where data files are looked for, the user's own folder first.
    [[nodiscard]] std::vector<std::filesystem::path> data_search_dirs() const;
    // The first data file of that name that exists; nothing when none does.
    [[nodiscard]] std::optional<std::filesystem::path> find_data_file(const std::string& name) const;
    // The spare picture found first, else where the user's own would be.
    [[nodiscard]] std::filesystem::path spare_picture() const;
};

// Creates each missing folder of `dir` readable by its owner only (0700);
// folders that exist keep their modes. False when `dir` is not there after.
bool make_private_directories(const std::filesystem::path& dir);

// What the program takes from its environment and command line.
struct Options {
    Paths paths;
    std::string arguments;                 // argv[1..] joined with blanks
    std::optional<bool> lock_override;     // VELLORA_LOCK
    std::optional<HackTarget> hack;        // -root / -window-id / XSCREENSAVER_WINDOW
    std::filesystem::path trace_file;      // VELLORA_TRACE: a log of what the user sees
    bool ask_desktop = true;               // GNOME's and KDE's own lock settings

    // Everything from the environment: XDG folders, VELLORA_LOCK, VELLORA_TRACE.
    static Options from_environment();
};

// Values in the per-user store may hold any character; the ones an ini file
// would trim, cut or misread are written as \xHH.
std::string escape_store_value(const std::string& value);
std::string unescape_store_value(const std::string& text);

// The per-user store as a profile file: section "<application>\<section>".
// It holds the password, so it is its owner's alone: the file (and the
// scratch file of each rewrite) is created 0600 in a folder created 0700, a
// store that others can read is tightened on its next write, and a folder
// that another user owns holds no store: nothing is read from it, and a
// write there fails.
class UserStoreFile final : public rt::UserStore {
public:
    explicit UserStoreFile(std::filesystem::path file);
    [[nodiscard]] std::string read(const std::string& application, const std::string& section,
                                   const std::string& key, const std::string& fallback) override;
    bool write(const std::string& application, const std::string& section, const std::string& key,
               const std::string& value) override;

private:
    rt::IniFile ini_;
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

class QtServices final : public rt::SystemServices {
public:
    // `options` and `trace` outlive the services; `dpi` gives the screen's
    // logical dots per inch when a picture is decoded.
    QtServices(const Options& options, const Trace& trace, std::function<double()> dpi);
    ~QtServices() override;
    QtServices(const QtServices&) = delete;
    QtServices& operator=(const QtServices&) = delete;

    rt::ProfileFile& settings_file() override { return settings_; }
    rt::UserStore& user_store() override { return user_store_; }
    // Linux keeps no registry.
    rt::Registry* registry() override { return nullptr; }
    // The desktop's lock setting (always off in hack mode).
    std::optional<bool> desktop_password_flag() override;
    double time_of_day() override;
    double steady_seconds() override;
    int show_cursor(bool show) override;
    bool previous_instance() override;
    std::string command_line_arguments() override { return options_.arguments; }
    void show_help(const std::string& help_file) override { help_.show(help_file); }
    rt::PictureDecoder& picture_decoder() override { return decoder_; }
    rt::Picture app_icon() override;
    std::string spare_picture_path() override { return options_.paths.spare_picture().string(); }
    // One line on stderr.
    void report_failure(const std::string& what) override;

    [[nodiscard]] int cursor_count() const { return cursor_; }

private:
    [[nodiscard]] bool hack_mode() const { return options_.hack.has_value(); }

    const Options& options_;
    std::function<double()> dpi_;
    rt::IniFile settings_;
    UserStoreFile user_store_;
    LockSources lock_;
    QtPictureDecoder decoder_;
    InstanceLock instance_lock_;
    HelpViewer help_;
    int cursor_ = 0;
    bool cursor_hidden_ = false;
};

}  // namespace vellora::qt
