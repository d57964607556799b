#include "platform/win32/services.h"

#include <shlobj.h>

#include <algorithm>
#include <vector>

namespace vellora::win32 {

namespace {
// The longest value the settings file gives back; far beyond any path.
constexpr std::size_t kMaxProfileValue = std::size_t{1} << 22U;
// The longest value the profile functions can write (they pass it on as a
// counted UTF-16 string).
constexpr std::size_t kMaxProfileWrite = 32767;
}  // namespace

std::string arguments_after_program_name(std::string_view command_line) {
    std::size_t i = 0;
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (i < command_line.size() && blank(command_line[i])) ++i;
    if (i < command_line.size() && command_line[i] == '"') {
        // A quoted name ends at its closing quote.
        ++i;
        while (i < command_line.size() && command_line[i] != '"') ++i;
        if (i < command_line.size()) ++i;
    } else {
        while (i < command_line.size() && !blank(command_line[i])) ++i;
    }
    while (i < command_line.size() && blank(command_line[i])) ++i;
    return std::string(command_line.substr(i));
}

HKEY registry_root(std::uint32_t root) {
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<std::int32_t>(root)));
}

// ------------------------------------------------------------------ text

std::wstring wide_from_ansi(std::string_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(n, 0)), L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), n);
    return wide;
}

std::string ansi_from_wide(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(std::max(n, 0)), '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, text.data(), size, ansi.data(), n, nullptr, nullptr);
    return ansi;
}

// ------------------------------------------------------------------ settings file

std::string ProfileFile::read(const std::string& section, const std::string& key, const std::string& fallback) {
    // The value is read whole: the buffer grows until the value fits.
    std::vector<char> buffer(std::max<std::size_t>(256, fallback.size() + 2));
    for (;;) {
        const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), buffer.data(),
                                                 static_cast<DWORD>(buffer.size()), file_name_.c_str());
        // A value cut to fit comes back as exactly size - 1 characters.
        if (n + 1 < buffer.size() || buffer.size() >= kMaxProfileValue) {
            return std::string(buffer.data(), std::min<std::size_t>(n, buffer.size() - 1));
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string ProfileFile::location() const {
    char dir[MAX_PATH + 1] = {};
    const UINT n = GetWindowsDirectoryA(dir, MAX_PATH);
    return n == 0 || n > MAX_PATH ? std::string("the Windows directory") : std::string(dir, n);
}

bool ProfileFile::write(const std::string& section, const std::string& key, const std::string& value) {
    // A longer value cannot be written; the file keeps what it had.
    refused_value_ =
        value.size() > kMaxProfileWrite || section.size() > kMaxProfileWrite || key.size() > kMaxProfileWrite;
    if (refused_value_) return false;
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file_name_.c_str()) != FALSE;
}

std::wstring ProfileFile::path() const {
    const std::wstring name = wide_from_ansi(file_name_);
    // A name with a folder in it is taken as it stands, as the profile functions do.
    if (name.find_first_of(L"\\/:") != std::wstring::npos) return name;
    wchar_t dir[MAX_PATH + 1] = {};
    const UINT n = GetWindowsDirectoryW(dir, MAX_PATH);
    if (n == 0 || n > MAX_PATH) return {};
    return std::wstring(dir, n) + L"\\" + name;
}

// ------------------------------------------------------------------ the user's settings file

const std::wstring& UserProfileFile::folder() const {
    if (folder_.empty()) {
        TaskText appdata;
        if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_CREATE, nullptr, appdata.receive())) &&
            appdata && *appdata.get() != L'\0') {
            folder_ = std::wstring(appdata.get()) + L"\\Vellora";
        }
    }
    return folder_;
}

std::wstring UserProfileFile::path() const {
    const std::wstring& dir = folder();
    return dir.empty() ? std::wstring() : dir + L"\\" + file_name_;
}

bool UserProfileFile::exists() const {
    const std::wstring file = path();
    if (file.empty()) return false;
    const DWORD attributes = GetFileAttributesW(file.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool UserProfileFile::copy_from(const std::wstring& shared) const {
    const std::wstring file = path();
    if (file.empty()) return false;
    if (CreateDirectoryW(folder().c_str(), nullptr) == FALSE && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    if (shared.empty() || GetFileAttributesW(shared.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
    // Another copy of the program may have made it a moment ago: that one stands.
    if (CopyFileW(shared.c_str(), file.c_str(), TRUE) == FALSE && GetLastError() != ERROR_FILE_EXISTS) return false;
    // The copy takes the shared file's attributes; a read-only one could never be written.
    const DWORD attributes = GetFileAttributesW(file.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesW(file.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }
    return true;
}

std::string UserProfileFile::read(const std::string& section, const std::string& key, const std::string& fallback) {
    const std::wstring file = path();
    if (file.empty()) return fallback;
    const std::wstring wsection = wide_from_ansi(section);
    const std::wstring wkey = wide_from_ansi(key);
    const std::wstring wfallback = wide_from_ansi(fallback);
    // The value is read whole: the buffer grows until the value fits.
    std::vector<wchar_t> buffer(std::max<std::size_t>(256, wfallback.size() + 2));
    for (;;) {
        const DWORD n = GetPrivateProfileStringW(wsection.c_str(), wkey.c_str(), wfallback.c_str(), buffer.data(),
                                                 static_cast<DWORD>(buffer.size()), file.c_str());
        if (n + 1 < buffer.size() || buffer.size() >= kMaxProfileValue) {
            return ansi_from_wide(std::wstring_view(buffer.data(), std::min<std::size_t>(n, buffer.size() - 1)));
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool UserProfileFile::write(const std::string& section, const std::string& key, const std::string& value) {
    const std::wstring file = path();
    if (file.empty()) return false;
    const std::wstring wsection = wide_from_ansi(section);
    const std::wstring wkey = wide_from_ansi(key);
    const std::wstring wvalue = wide_from_ansi(value);
    if (wvalue.size() > kMaxProfileWrite || wsection.size() > kMaxProfileWrite || wkey.size() > kMaxProfileWrite) {
        return false;
    }
    return WritePrivateProfileStringW(wsection.c_str(), wkey.c_str(), wvalue.c_str(), file.c_str()) != FALSE;
}

std::string UserProfileFile::location() const {
    const std::wstring& dir = folder();
    return dir.empty() ? std::string("your application data folder") : ansi_from_wide(dir);
}

// ------------------------------------------------------------------ registry

std::optional<rt::Registry::Key> Registry::open(std::uint32_t root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(registry_root(root), path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    return reinterpret_cast<Key>(key);
}

rt::Registry::Query Registry::query(Key key, const std::string& value_name, std::uint32_t buffer_size) {
    Query q;
    std::vector<std::uint8_t> buffer(std::max<std::uint32_t>(buffer_size, 1));
    DWORD type = 0;
    DWORD size = buffer_size;
    const LONG result = RegQueryValueExA(reinterpret_cast<HKEY>(key), value_name.c_str(), nullptr, &type,
                                         buffer.data(), &size);
    q.type = type;
    q.size = size;
    if (result != ERROR_SUCCESS) return q;  // missing, or more data than the buffer holds
    q.ok = true;
    buffer.resize(std::min<std::size_t>(size, buffer_size));
    q.data = std::move(buffer);
    return q;
}

void Registry::close(Key key) { RegCloseKey(reinterpret_cast<HKEY>(key)); }

// ------------------------------------------------------------------ per-user store

std::string UserStore::key_path(const std::string& application, const std::string& section) {
    return "Software\\" + application + "\\" + section;
}

std::string UserStore::read(const std::string& application, const std::string& section, const std::string& key,
                            const std::string& fallback) {
    RegistryKey hkey;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key_path(application, section).c_str(), 0, KEY_QUERY_VALUE,
                      hkey.receive()) != ERROR_SUCCESS) {
        return fallback;
    }
    std::string value = fallback;
    DWORD type = 0;
    DWORD size = 0;
    LONG result = RegQueryValueExA(hkey.get(), key.c_str(), nullptr, &type, nullptr, &size);
    if (result == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
        std::vector<char> data(size + 1, '\0');
        result = RegQueryValueExA(hkey.get(), key.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
        if (result == ERROR_SUCCESS) {
            // The stored text ends at its first zero (the terminator, when present).
            value.assign(data.data(), std::find(data.begin(), data.begin() + size, '\0') - data.begin());
        }
    }
    return value;
}

bool UserStore::write(const std::string& application, const std::string& section, const std::string& key,
                      const std::string& value) {
    RegistryKey hkey;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key_path(application, section).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, hkey.receive(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    return RegSetValueExA(hkey.get(), key.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

// ------------------------------------------------------------------ the services

Services::Services(WindowSystem& windows)
    : windows_(windows),
      profile_(
          shared_profile_, user_profile_, [this] { return user_profile_.exists(); },
          // A value refused for its length would be refused in the user's place too.
          [this] { return !shared_profile_.refused_last_value() && user_profile_.copy_from(shared_profile_.path()); }),
      help_(windows) {}

double Services::time_of_day() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return t.wHour * 3600.0 + t.wMinute * 60.0 + t.wSecond + t.wMilliseconds / 1000.0;
}

double Services::steady_seconds() { return static_cast<double>(GetTickCount64()) / 1000.0; }

int Services::show_cursor(bool show) { return ShowCursor(show ? TRUE : FALSE); }

bool Services::previous_instance() {
    if (instance_mutex_) return false;  // this process holds the name
    KernelHandle mutex(CreateMutexA(nullptr, FALSE, kInstanceMutex));
    if (GetLastError() == ERROR_ALREADY_EXISTS) return true;  // another copy holds it; ours is closed
    instance_mutex_ = std::move(mutex);
    return false;
}

std::string Services::command_line_arguments() {
    const char* line = GetCommandLineA();
    return arguments_after_program_name(line != nullptr ? line : "");
}

rt::Picture Services::app_icon() {
    if (!icon_) {
        auto icon = static_cast<HICON>(
            LoadImageA(windows_.instance(), MAKEINTRESOURCEA(1), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
        icon_ = icon != nullptr ? picture_from_icon(icon, true)
                                : picture_from_icon(LoadIconA(nullptr, MAKEINTRESOURCEA(32512)), false);
    }
    return icon_;
}

void Services::report_failure(const std::string& what) { OutputDebugStringA((what + "\n").c_str()); }

}  // namespace vellora::win32
