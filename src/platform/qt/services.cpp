#include "platform/qt/linux_services.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace vellora::qt {

namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v == nullptr ? std::string() : std::string(v);
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

std::optional<bool> parse_bool(const std::string& text) {
    const auto t = lower(trim(text));
    if (t == "true" || t == "1" || t == "yes" || t == "on") return true;
    if (t == "false" || t == "0" || t == "no" || t == "off") return false;
    return std::nullopt;
}

bool on_path(const std::string& program) {
    std::stringstream path(env("PATH"));
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

constexpr rt::Registry::Key kDesktopKey = 0x5EC0;

}  // namespace

// ------------------------------------------------------------------ paths

Paths Paths::from_environment() {
    Paths p;
    std::filesystem::path home = env("HOME");
    if (home.empty()) home = "/tmp";
    p.home = home;
    const auto config = env("XDG_CONFIG_HOME");
    p.config_dir = (config.empty() ? home / ".config" : std::filesystem::path(config)) / "vellora";
    const auto data = env("XDG_DATA_HOME");
    p.data_dir = (data.empty() ? home / ".local" / "share" : std::filesystem::path(data)) / "vellora";
    const auto runtime = env("XDG_RUNTIME_DIR");
    p.runtime_dir = runtime.empty() ? std::filesystem::path("/tmp") : std::filesystem::path(runtime);
    return p;
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

bool UserStoreFile::write(const std::string& application, const std::string& section, const std::string& key,
                          const std::string& value) {
    std::error_code ec;
    std::filesystem::create_directories(ini_.path().parent_path(), ec);
    return ini_.write(application + "\\" + section, key, escape_store_value(value));
}

// ------------------------------------------------------------------ the lock setting

std::optional<bool> xscreensaver_lock(const std::string& rc_text) {
    std::istringstream in(rc_text);
    std::string line;
    std::optional<bool> found;
    while (std::getline(in, line)) {
        const auto t = trim(line);
        if (t.rfind("lock:", 0) != 0) continue;
        found = parse_bool(t.substr(5));
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

DesktopRegistry::DesktopRegistry(LockSources sources) : sources_(std::move(sources)) {}

std::optional<rt::Registry::Key> DesktopRegistry::open(std::uint32_t root, const std::string& path,
                                                       std::uint32_t /*access*/) {
    if (root != rt::reg::CurrentUser || lower(path) != "control panel\\desktop") return std::nullopt;
    ++open_keys_;
    return kDesktopKey;
}

rt::Registry::Query DesktopRegistry::query(Key key, const std::string& value_name, std::uint32_t buffer_size) {
    Query q;
    if (key != kDesktopKey || lower(value_name) != "screensaveusepassword") return q;
    const auto lock = read_lock_setting(sources_);
    if (!lock) return q;  // no desktop setting: the value is missing
    q.type = rt::reg::Dword;
    q.size = 4;
    if (buffer_size < 4) return q;
    q.ok = true;
    q.data = {static_cast<std::uint8_t>(*lock ? 1 : 0), 0, 0, 0};
    return q;
}

void DesktopRegistry::close(Key key) {
    if (key == kDesktopKey && open_keys_ > 0) --open_keys_;
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

}  // namespace vellora::qt
