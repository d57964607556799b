#include "platform/win32/services.h"

#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/ini_file.h"

namespace vellora::win32 {

namespace {
// The longest value the settings file gives back; far beyond any path.
constexpr std::size_t kMaxProfileValue = std::size_t{1} << 22U;
// The longest value written: what the profile functions can take and read
// back (they pass it on as a counted UTF-16 string).
constexpr std::size_t kMaxProfileWrite = 32767;
// A settings file is a few hundred bytes; anything past this is not one.
constexpr LONGLONG kMaxProfileFile = 16LL * 1024 * 1024;
// A file another program holds (a virus scanner, a backup) is tried again
// a few times over a few hundred milliseconds.
constexpr int kBusyTries = 5;
constexpr DWORD kBusyWaitMs = 100;
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

namespace {

// Another program has the file open for now. ReplaceFileW says so with an
// error of its own, as the file to replace would not go away.
bool busy(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_UNABLE_TO_REMOVE_REPLACED;
}

// Runs `attempt`, which gives a Win32 error code, again while the file is busy.
template <typename Attempt>
DWORD unless_busy(Attempt attempt) {
    DWORD error = attempt();
    for (int tries = 1; tries < kBusyTries && busy(error); ++tries) {
        Sleep(kBusyWaitMs);
        error = attempt();
    }
    return error;
}

rt::WriteResult write_result(DWORD error) {
    if (error == ERROR_SUCCESS) return rt::WriteResult::Written;
    if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT) return rt::WriteResult::Denied;
    if (busy(error)) return rt::WriteResult::Busy;
    return rt::WriteResult::Failed;
}

// The whole file into `text` (`exists` false and no text when it is not
// there); an error code when it cannot be read.
DWORD read_file(const std::wstring& path, std::string& text, bool& exists) {
    text.clear();
    exists = false;
    const KernelHandle file = own_file(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ERROR_SUCCESS : error;
    }
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.get(), &size) == FALSE) return GetLastError();
    if (size.QuadPart > kMaxProfileFile) return ERROR_FILE_TOO_LARGE;
    text.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD got = 0;
    if (ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &got, nullptr) == FALSE) return GetLastError();
    text.resize(got);
    exists = true;
    return ERROR_SUCCESS;
}

// One rewrite of the file with every entry set: the new text goes to a
// scratch file beside it, is flushed to the disk, and replaces the file in
// one step (ReplaceFileW keeps the old file's attributes and access rights),
// so the file is always the old one or the whole new one.
DWORD rewrite(const std::wstring& path, const std::vector<rt::ProfileEntry>& entries) {
    std::string text;
    bool exists = false;
    if (const DWORD error = read_file(path, text, exists); error != ERROR_SUCCESS) return error;
    const auto updated = rt::ini_update(text, entries, "\r\n");
    if (!updated) return ERROR_INVALID_PARAMETER;
    if (exists && *updated == text) return ERROR_SUCCESS;
    const DWORD attributes = exists ? GetFileAttributesW(path.c_str()) : 0;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return ERROR_ACCESS_DENIED;  // as the profile functions find it
    }
    std::wstring scratch;
    KernelHandle out;
    for (int n = 0; n < 16 && !out; ++n) {
        scratch = path + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(n) + L".tmp";
        out = own_file(CreateFileW(scratch.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        const DWORD error = out ? ERROR_SUCCESS : GetLastError();
        if (error != ERROR_SUCCESS && error != ERROR_FILE_EXISTS) return error;
    }
    if (!out) return ERROR_FILE_EXISTS;
    DWORD written = 0;
    const bool saved = WriteFile(out.get(), updated->data(), static_cast<DWORD>(updated->size()), &written, nullptr) &&
                       written == updated->size() && FlushFileBuffers(out.get());
    DWORD error = saved ? ERROR_SUCCESS : GetLastError();
    out.reset();
    if (error == ERROR_SUCCESS && !exists &&
        MoveFileExW(scratch.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == FALSE) {
        error = GetLastError();
    }
    if (error == ERROR_SUCCESS && exists &&
        ReplaceFileW(path.c_str(), scratch.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) ==
            FALSE) {
        error = GetLastError();
        // This one can leave the old file gone and the new one under its scratch name: it goes in place.
        if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT && GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
            MoveFileExW(scratch.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE) {
            error = ERROR_SUCCESS;
        }
    }
    if (error != ERROR_SUCCESS) DeleteFileW(scratch.c_str());
    return error;
}

// The profile functions write one key per call; several keys at once are
// one rewrite of our own, through the same rules of the format. A file
// another program holds is tried again for a moment.
rt::WriteResult write_profile(const std::wstring& path, const std::vector<rt::ProfileEntry>& entries) {
    if (path.empty()) return rt::WriteResult::Failed;
    for (const auto& e : entries) {
        // Longer than the profile functions could read back: refused, and the file keeps what it had.
        if (e.section.size() > kMaxProfileWrite || e.key.size() > kMaxProfileWrite || e.value.size() > kMaxProfileWrite) {
            return rt::WriteResult::Failed;
        }
    }
    return write_result(unless_busy([&] { return rewrite(path, entries); }));
}

// The file can be read, or is not there at all.
bool can_read(const std::wstring& path) {
    std::string text;
    bool exists = false;
    return path.empty() || unless_busy([&] { return read_file(path, text, exists); }) == ERROR_SUCCESS;
}

// A value read whole through GetPrivateProfileStringA or W (`get` makes the
// call into the buffer it is given): the buffer grows until the value fits.
template <typename Char, typename Get>
std::basic_string<Char> read_whole(std::size_t fallback_size, Get get) {
    std::vector<Char> buffer(std::max<std::size_t>(256, fallback_size + 2));
    for (;;) {
        const DWORD n = get(buffer.data(), static_cast<DWORD>(buffer.size()));
        // A value cut to fit comes back as exactly size - 1 characters.
        if (n + 1 < buffer.size() || buffer.size() >= kMaxProfileValue) {
            return std::basic_string<Char>(buffer.data(), std::min<std::size_t>(n, buffer.size() - 1));
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

std::string ProfileFile::read(const std::string& section, const std::string& key, const std::string& fallback) {
    return read_whole<char>(fallback.size(), [&](char* buffer, DWORD size) {
        return GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), buffer, size,
                                        file_name_.c_str());
    });
}

std::string ProfileFile::location() const {
    char dir[MAX_PATH + 1] = {};
    const UINT n = GetWindowsDirectoryA(dir, MAX_PATH);
    return n == 0 || n > MAX_PATH ? std::string("the Windows directory") : std::string(dir, n);
}

rt::WriteResult ProfileFile::write_all(const std::vector<rt::ProfileEntry>& entries) {
    return write_profile(path(), entries);
}

bool ProfileFile::readable() { return can_read(path()); }

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
    return ansi_from_wide(read_whole<wchar_t>(wfallback.size(), [&](wchar_t* buffer, DWORD size) {
        return GetPrivateProfileStringW(wsection.c_str(), wkey.c_str(), wfallback.c_str(), buffer, size, file.c_str());
    }));
}

rt::WriteResult UserProfileFile::write_all(const std::vector<rt::ProfileEntry>& entries) {
    return write_profile(path(), entries);
}

bool UserProfileFile::readable() { return can_read(path()); }

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
          [this] { return user_profile_.copy_from(shared_profile_.path()); }),
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
