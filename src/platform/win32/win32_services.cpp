#include <algorithm>
#include <vector>

#include "platform/win32/win32_platform.h"

namespace vellora::win32 {

namespace {
// The longest value the settings file gives back; far beyond any path.
constexpr std::size_t kMaxProfileValue = std::size_t{1} << 22U;
// The longest value the profile functions can write (they pass it on as a
// counted UTF-16 string).
constexpr std::size_t kMaxProfileWrite = 32767;
}  // namespace

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

bool ProfileFile::write(const std::string& section, const std::string& key, const std::string& value) {
    // A longer value cannot be written; the file keeps what it had.
    if (value.size() > kMaxProfileWrite || section.size() > kMaxProfileWrite || key.size() > kMaxProfileWrite) {
        return false;
    }
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file_name_.c_str()) != FALSE;
}

// ------------------------------------------------------------------ registry

std::optional<rt::Registry::Key> Registry::open(std::uint32_t root, const std::string& path, std::uint32_t access) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(registry_root(root), path.c_str(), 0, access, &key) != ERROR_SUCCESS) return std::nullopt;
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
    HKEY hkey = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key_path(application, section).c_str(), 0, KEY_QUERY_VALUE, &hkey) !=
        ERROR_SUCCESS) {
        return fallback;
    }
    std::string value = fallback;
    DWORD type = 0;
    DWORD size = 0;
    LONG result = RegQueryValueExA(hkey, key.c_str(), nullptr, &type, nullptr, &size);
    if (result == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
        std::vector<char> data(size + 1, '\0');
        result = RegQueryValueExA(hkey, key.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
        if (result == ERROR_SUCCESS) {
            // The stored text ends at its first zero (the terminator, when present).
            value.assign(data.data(), std::find(data.begin(), data.begin() + size, '\0') - data.begin());
        }
    }
    RegCloseKey(hkey);
    return value;
}

bool UserStore::write(const std::string& application, const std::string& section, const std::string& key,
                      const std::string& value) {
    HKEY hkey = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key_path(application, section).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &hkey, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LONG result = RegSetValueExA(hkey, key.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                       static_cast<DWORD>(value.size() + 1));
    RegCloseKey(hkey);
    return result == ERROR_SUCCESS;
}

}  // namespace vellora::win32
