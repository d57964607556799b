#include "platform/qt/services.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCursor>
#include <QGuiApplication>
#include <QPainter>
#include <QTime>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string_view>

#include "runtime/text.h"

namespace vellora::qt {

namespace {

constexpr std::string_view kBlanks = " \t\r\n";

std::optional<bool> parse_bool(const std::string& text) {
    const auto t = rt::to_lower(std::string(rt::trim(text, kBlanks)));
    if (t == "true" || t == "1" || t == "yes" || t == "on") return true;
    if (t == "false" || t == "0" || t == "no" || t == "off") return false;
    return std::nullopt;
}

bool on_path(const std::string& program) {
    std::stringstream path(rt::env("PATH"));
    std::string dir;
    while (std::getline(path, dir, ':')) {
        if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    }
    return false;
}

std::optional<bool> gnome_lock_enabled() {
    if (!on_path("gsettings")) return std::nullopt;
    // A fixed command line; a missing schema makes gsettings fail and print nothing.
    FILE* pipe = ::popen("timeout 2 gsettings get org.gnome.desktop.screensaver lock-enabled 2>/dev/null", "r");
    if (pipe == nullptr) return std::nullopt;
    std::string out;
    char buffer[64];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
    const int status = ::pclose(pipe);
    if (status != 0) return std::nullopt;
    return parse_bool(out);
}

}  // namespace

// ------------------------------------------------------------------ paths

Paths Paths::from_environment() {
    Paths p;
    std::filesystem::path home = rt::env("HOME");
    if (home.empty()) home = "/tmp";
    p.home = home;
    const auto config = rt::env("XDG_CONFIG_HOME");
    p.config_dir = (config.empty() ? home / ".config" : std::filesystem::path(config)) / "vellora";
    const auto data = rt::env("XDG_DATA_HOME");
    p.data_dir = (data.empty() ? home / ".local" / "share" : std::filesystem::path(data)) / "vellora";
    auto dirs = rt::env("XDG_DATA_DIRS");
    if (dirs.empty()) dirs = "/usr/local/share:/usr/share";
    std::stringstream list(dirs);
    std::string dir;
    while (std::getline(list, dir, ':')) {
        // Relative entries mean nothing here and are passed over.
        if (!dir.empty() && dir.front() == '/') p.system_data_dirs.push_back(std::filesystem::path(dir) / "vellora");
    }
    const auto runtime = rt::env("XDG_RUNTIME_DIR");
    p.runtime_dir = runtime.empty() ? std::filesystem::path("/tmp") : std::filesystem::path(runtime);
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

UserStoreFile::UserStoreFile(std::filesystem::path file) : ini_(std::move(file)) {}

std::string UserStoreFile::read(const std::string& application, const std::string& section,
                                const std::string& key, const std::string& fallback) {
    // A marker that no stored (escaped) value can be tells a missing key.
    static const std::string kMissing = "\\missing";
    const auto text = ini_.read(application + "\\" + section, key, kMissing);
    if (text == kMissing) return fallback;
    return unescape_store_value(text);
}

namespace {

// Files created while it lives are their owner's alone. The file mode mask
// is the process's, so it is held only for the length of one write.
class PrivateFiles {
public:
    PrivateFiles() : previous_(::umask(077)) {}
    ~PrivateFiles() { ::umask(previous_); }
    PrivateFiles(const PrivateFiles&) = delete;
    PrivateFiles& operator=(const PrivateFiles&) = delete;

private:
    ::mode_t previous_;
};

}  // namespace

bool UserStoreFile::write(const std::string& application, const std::string& section, const std::string& key,
                          const std::string& value) {
    namespace fs = std::filesystem;
    const fs::path& file = ini_.path();
    if (!make_private_directories(file.parent_path())) return false;
    // A store that others can read is tightened before anything new is
    // written to it: the new file takes the old one's permissions.
    std::error_code ec;
    const auto status = fs::status(file, ec);
    constexpr auto kOthers = fs::perms::group_all | fs::perms::others_all;
    if (!ec && fs::is_regular_file(status) && (status.permissions() & kOthers) != fs::perms::none) {
        fs::permissions(file, kOthers, fs::perm_options::remove, ec);
        if (ec) return false;  // the password is not written where others could read it
    }
    // The new contents go to a scratch file that is renamed over the store:
    // created under this mask, it is never readable by others, not even
    // before the rename.
    const PrivateFiles private_files;
    return ini_.write(application + "\\" + section, key, escape_store_value(value));
}

// ------------------------------------------------------------------ the lock setting

std::optional<bool> xscreensaver_lock(const std::string& rc_text) {
    std::istringstream in(rc_text);
    std::string line;
    std::optional<bool> found;
    while (std::getline(in, line)) {
        const auto t = rt::trim(line, kBlanks);
        if (t.rfind("lock:", 0) != 0) continue;
        found = parse_bool(std::string(t.substr(5)));
    }
    return found;
}

std::optional<bool> read_lock_setting(const LockSources& sources) {
    if (sources.never) return false;
    if (sources.override_value) return sources.override_value;
    if (!sources.xscreensaver_rc.empty()) {
        std::ifstream in(sources.xscreensaver_rc);
        if (in) {
            std::stringstream text;
            text << in.rdbuf();
            if (auto v = xscreensaver_lock(text.str())) return v;
        }
    }
    if (sources.ask_gsettings) return gnome_lock_enabled();
    return std::nullopt;
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
      lock_{options_.lock_override, options_.paths.home / ".xscreensaver", options_.ask_gsettings, hack_mode()},
      decoder_(dpi_, [&trace](const std::string& line) { trace.line(line); }),
      instance_lock_(options_.paths.runtime_dir / ("vellora-" + std::to_string(::getuid()) + ".lock")),
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
