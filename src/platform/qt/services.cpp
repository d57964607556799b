#include "platform/qt/services.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCursor>
#include <QGuiApplication>
#include <QPainter>
#include <QStandardPaths>
#include <QTime>
#include <cerrno>
#include <chrono>
#include <vector>

#include "runtime/text.h"

namespace vellora::qt {

// ------------------------------------------------------------------ paths

namespace {

// $HOME when it is an absolute path, else the home folder the password
// database gives this user; nothing when neither knows one.
std::filesystem::path home_folder() {
    const std::filesystem::path home = rt::env("HOME");
    if (home.is_absolute()) return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && std::filesystem::path(found->pw_dir).is_absolute()) {
        return found->pw_dir;
    }
    return {};
}

// An XDG folder: the variable when it holds an absolute path (a relative one
// is ignored, as the XDG rules say), else `fallback` in the home folder.
std::filesystem::path xdg_folder(const char* variable, const std::filesystem::path& home, const char* fallback) {
    const std::filesystem::path dir = rt::env(variable);
    if (dir.is_absolute()) return dir;
    return home.empty() ? std::filesystem::path() : home / fallback;
}

}  // namespace

Paths Paths::from_environment() {
    Paths p;
    p.home = home_folder();
    // Qt takes $HOME as it is (or "/" without it) and a relative XDG folder as
    // given, so the user's own folders are found here; the shared data
    // folders are Qt's XDG answer, after the user's own that it lists first.
    p.config_home = xdg_folder("XDG_CONFIG_HOME", p.home, ".config");
    const auto data = xdg_folder("XDG_DATA_HOME", p.home, ".local/share");
    if (!p.config_home.empty()) p.config_dir = p.config_home / "vellora";
    if (!data.empty()) p.data_dir = data / "vellora";
    const auto shared = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    for (qsizetype i = 1; i < shared.size(); ++i) {
        p.system_data_dirs.push_back(std::filesystem::path(shared[i].toStdString()) / "vellora");
    }
    // Without a runtime folder of the session's, the lock goes to the user's
    // own settings folder (made 0700): never a shared place such as /tmp,
    // where another user could make or hold it first.
    const std::filesystem::path runtime = rt::env("XDG_RUNTIME_DIR");
    p.runtime_dir = runtime.is_absolute() ? runtime : p.config_dir;
    return p;
}

std::vector<std::filesystem::path> Paths::data_search_dirs() const {
    std::vector<std::filesystem::path> dirs{data_dir};
    dirs.insert(dirs.end(), system_data_dirs.begin(), system_data_dirs.end());
    return dirs;
}

std::optional<std::filesystem::path> Paths::find_data_file(const std::string& name) const {
    for (const auto& dir : data_search_dirs()) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(dir / name, ec)) return dir / name;
    }
    return std::nullopt;
}

std::filesystem::path Paths::spare_picture() const {
    return find_data_file("imgx.bmp").value_or(data_dir / "imgx.bmp");
}

bool make_private_directories(const std::filesystem::path& dir) {
    std::filesystem::path at;
    std::error_code ec;
    for (const auto& part : dir) {
        at /= part;
        // An existing folder is left as it is; a new one is its owner's alone.
        if (::mkdir(at.c_str(), 0700) != 0 && !std::filesystem::is_directory(at, ec)) return false;
    }
    return std::filesystem::is_directory(dir, ec);
}

Options Options::from_environment() {
    Options o;
    o.paths = Paths::from_environment();
    const auto lock = rt::env("VELLORA_LOCK");
    if (lock == "1") o.lock_override = true;
    if (lock == "0") o.lock_override = false;
    const auto trace = rt::env("VELLORA_TRACE");
    if (!trace.empty()) o.trace_file = trace;
    return o;
}

// ------------------------------------------------------------------ the per-user store

std::string escape_store_value(const std::string& value) {
    static const std::string kSpecial = "\\=;#\"[]' ";
    std::string out;
    for (const char ch : value) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || kSpecial.find(ch) != std::string::npos) {
            static const char* kHex = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[c >> 4U];
            out += kHex[c & 0xFU];
        } else {
            out += ch;
        }
    }
    return out;
}

std::string unescape_store_value(const std::string& text) {
    const auto hex = [](char ch) -> int {
        if (ch >= '0' && ch <= '9') return ch - '0';
        if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
        if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && hex(text[i + 2]) >= 0 &&
            hex(text[i + 3]) >= 0) {
            out += static_cast<char>(hex(text[i + 2]) * 16 + hex(text[i + 3]));
            i += 3;
        } else {
            out += text[i];  // not one of ours: kept as it stands
        }
    }
    return out;
}

UserStoreFile::UserStoreFile(std::filesystem::path file)
    : ini_(std::move(file), std::filesystem::perms::owner_read | std::filesystem::perms::owner_write) {}

namespace {

// The folder (a link followed) is this user's own.
bool owned_by_user(const std::filesystem::path& dir) {
    struct stat info {};
    return !dir.empty() && ::stat(dir.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid();
}

}  // namespace

std::string UserStoreFile::read(const std::string& application, const std::string& section,
                                const std::string& key, const std::string& fallback) {
    // Nothing of ours is ever kept in another user's folder: what lies there is not read.
    if (!owned_by_user(ini_.path().parent_path())) return fallback;
    // A marker that no stored (escaped) value can be tells a missing key.
    static const std::string kMissing = "\\missing";
    const auto text = ini_.read(application + "\\" + section, key, kMissing);
    if (text == kMissing) return fallback;
    return unescape_store_value(text);
}

bool UserStoreFile::write(const std::string& application, const std::string& section, const std::string& key,
                          const std::string& value) {
    namespace fs = std::filesystem;
    const fs::path& file = ini_.path();
    // The password is never kept in a folder another user owns (and could
    // read or swap): the write fails, and the dialog says it was not saved.
    if (!make_private_directories(file.parent_path()) || !owned_by_user(file.parent_path())) return false;
    // A store that others can read is tightened before anything new is
    // written to it: the rewrite's scratch file, and so the new store, takes
    // the old one's permissions (a new store is created 0600).
    std::error_code ec;
    const auto status = fs::status(file, ec);
    constexpr auto kOthers = fs::perms::group_all | fs::perms::others_all;
    if (!ec && fs::is_regular_file(status) && (status.permissions() & kOthers) != fs::perms::none) {
        fs::permissions(file, kOthers, fs::perm_options::remove, ec);
        if (ec) return false;  // the password is not written where others could read it
    }
    return ini_.write(application + "\\" + section, key, escape_store_value(value));
}

// ------------------------------------------------------------------ the instance lock

InstanceLock::InstanceLock(std::filesystem::path file) : file_(std::move(file)) {}

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) ::close(fd_);
}

bool InstanceLock::held_elsewhere() {
    if (answer_) return *answer_;
    fd_ = ::open(file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        answer_ = false;  // no lock file possible: do not stand in the way
        return false;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        answer_ = (errno == EWOULDBLOCK);
        ::close(fd_);
        fd_ = -1;
        return *answer_;
    }
    answer_ = false;
    return false;
}

// ------------------------------------------------------------------ the services

QtServices::QtServices(const Options& options, const Trace& trace, std::function<double()> dpi)
    : options_(options),
      dpi_(std::move(dpi)),
      settings_(options_.paths.settings_file()),
      user_store_(options_.paths.user_store_file()),
      lock_(LockSources::from_environment(options_.lock_override, options_.paths.home, options_.paths.config_home,
                                          options_.ask_desktop, hack_mode())),
      decoder_(dpi_, [&trace](const std::string& line) { trace.line(line); }),
      instance_lock_(options_.paths.runtime_dir.empty()
                         ? std::filesystem::path()  // no folder of the user's: no lock, nothing stands in the way
                         : options_.paths.runtime_dir / ("vellora-" + std::to_string(::getuid()) + ".lock")),
      help_(trace, options_.paths.data_search_dirs()) {
    // The folder of the settings file and of the per-user store (which holds
    // the password): made private when it is made.
    (void)make_private_directories(options_.paths.config_dir);
}

QtServices::~QtServices() {
    if (cursor_hidden_) QGuiApplication::restoreOverrideCursor();
}

std::optional<bool> QtServices::desktop_password_flag() { return read_lock_setting(lock_); }

double QtServices::time_of_day() { return QTime::currentTime().msecsSinceStartOfDay() / 1000.0; }

double QtServices::steady_seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int QtServices::show_cursor(bool show) {
    cursor_ += show ? 1 : -1;
    if (hack_mode()) return cursor_;  // the hack leaves the pointer to XScreenSaver
    if (cursor_ < 0 && !cursor_hidden_) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
        cursor_hidden_ = true;
    } else if (cursor_ >= 0 && cursor_hidden_) {
        QGuiApplication::restoreOverrideCursor();
        cursor_hidden_ = false;
    }
    return cursor_;
}

bool QtServices::previous_instance() {
    if (hack_mode()) return false;  // XScreenSaver runs one per monitor
    return instance_lock_.held_elsewhere();
}

rt::Picture QtServices::app_icon() {
    // The program's own 32 x 32 icon: a screen with a picture and circles.
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setPen(QColor(0, 0, 0));
        p.setBrush(QColor(128, 128, 128));
        p.drawRect(2, 3, 27, 21);
        p.setBrush(QColor(0, 0, 128));
        p.drawRect(5, 6, 21, 15);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 0));
        p.drawEllipse(QPoint(10, 10), 2, 2);
        p.setBrush(QColor(255, 0, 0));
        p.drawEllipse(QPoint(20, 15), 3, 3);
        p.setBrush(QColor(0, 255, 0));
        p.drawEllipse(QPoint(14, 17), 2, 2);
        p.setBrush(QColor(128, 128, 128));
        p.drawRect(12, 25, 8, 3);
    }
    const double dpi = dpi_();
    auto data = std::make_shared<rt::PictureData>();
    data->himetric_width = pixels_to_himetric(32, dpi);
    data->himetric_height = pixels_to_himetric(32, dpi);
    data->path = "<icon>";
    data->image = std::make_shared<QtImage>(std::move(image));
    return data;
}

void QtServices::report_failure(const std::string& what) {
    std::fputs(what.c_str(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

}  // namespace vellora::qt
