#include "runtime/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <random>
#include <string_view>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "runtime/text.h"

namespace vellora::rt {

namespace fs = std::filesystem;

namespace {

// A settings file is a few hundred bytes; anything past this is not one,
// and is neither read into memory nor rewritten.
constexpr std::uintmax_t kMaxFileSize = 16U * 1024U * 1024U;

constexpr std::string_view kBlanks = " \t\v\f\r";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view trim_blanks(std::string_view s) { return rt::trim(s, kBlanks); }

// Everything before the first line break.
std::string_view first_line(std::string_view s) { return s.substr(0, s.find_first_of("\r\n")); }

// One line of the file: its text and the line break that ended it ("" for
// a last line without one).
struct Line {
    std::string_view text;
    std::string_view ending;
};

enum class Kind { Other, Section, Key };

struct Parsed {
    Kind kind = Kind::Other;
    std::string_view name;     // section or key name, trimmed
    std::string_view value;    // key value, trimmed
    std::size_t value_at = 0;  // where the value (after '=' and its blanks) starts in the line
    std::size_t equals_at = 0;  // where the '=' is in the line
};

std::vector<Line> split_lines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const auto nl = text.find('\n', at);
        if (nl == std::string_view::npos) {
            lines.push_back({text.substr(at), {}});
            break;
        }
        const bool crlf = nl > at && text[nl - 1] == '\r';
        const auto end = crlf ? nl - 1 : nl;
        lines.push_back({text.substr(at, end - at), text.substr(end, nl + 1 - end)});
        at = nl + 1;
    }
    return lines;
}

Parsed parse(std::string_view line, bool first) {
    Parsed p;
    // A byte-order mark some editors put before the first line is not part of it.
    const std::size_t start =
        first && line.substr(0, kByteOrderMark.size()) == kByteOrderMark ? kByteOrderMark.size() : 0;
    const auto body = trim_blanks(line.substr(start));
    if (body.empty() || body.front() == ';') return p;
    if (body.front() == '[') {
        const auto close = body.rfind(']');
        if (close == std::string_view::npos) return p;
        p.kind = Kind::Section;
        p.name = trim_blanks(body.substr(1, close - 1));
        return p;
    }
    const auto eq = line.find('=', start);
    if (eq == std::string_view::npos) return p;
    p.name = trim_blanks(line.substr(start, eq - start));
    if (p.name.empty()) return p;
    p.kind = Kind::Key;
    p.equals_at = eq;
    p.value_at = line.find_first_not_of(kBlanks, eq + 1);
    if (p.value_at == std::string_view::npos) p.value_at = line.size();
    p.value = trim_blanks(line.substr(eq + 1));
    return p;
}

// Where a key sits: the line of its first matching section header, and the
// line of the key inside that section (if any).
struct Place {
    std::optional<std::size_t> section;
    std::optional<std::size_t> key;
    std::size_t last_entry = 0;  // the header or the section's last key line
    Parsed parsed;               // of the key line
};

Place find(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    Place place;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto p = parse(lines[i].text, i == 0);
        if (!place.section) {
            if (p.kind == Kind::Section && same_name(p.name, section)) place.section = place.last_entry = i;
            continue;
        }
        if (p.kind == Kind::Section) break;  // only the first section of that name counts
        if (p.kind != Kind::Key) continue;
        place.last_entry = i;
        if (same_name(p.name, key)) {
            place.key = i;
            place.parsed = p;
            break;
        }
    }
    return place;
}

// The text's own line break, or `fallback` for a text that has none yet.
std::string_view line_break_of(const std::vector<Line>& lines, std::string_view fallback) {
    for (const auto& l : lines) {
        if (!l.ending.empty()) return l.ending;
    }
    return fallback;
}

bool valid_names(std::string_view section, std::string_view key) {
    if (section.empty() || key.empty()) return false;
    if (section.find_first_of("\r\n") != std::string_view::npos) return false;
    if (key.find_first_of("=\r\n") != std::string_view::npos) return false;
    return key.front() != ';' && key.front() != '[';
}

enum class LoadResult { Ok, Missing, Failed };

LoadResult load(const fs::path& path, std::string& text) {
    text.clear();
    if (!path.is_absolute()) return LoadResult::Missing;
    std::error_code ec;
    const auto status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found) return LoadResult::Missing;
    if (ec || status.type() != fs::file_type::regular) return LoadResult::Failed;
    const auto size = fs::file_size(path, ec);
    if (ec || size > kMaxFileSize) return LoadResult::Failed;
    std::ifstream in(path, std::ios::binary);
    if (!in) return LoadResult::Failed;
    text.resize(static_cast<std::size_t>(size));
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad()) return LoadResult::Failed;
    text.resize(static_cast<std::size_t>(in.gcount()));
    return LoadResult::Ok;
}

std::uint64_t random_suffix() {
    std::uint64_t seed = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    try {
        std::random_device device;
        seed ^= (static_cast<std::uint64_t>(device()) << 32U) ^ device();
    } catch (...) {
        // no entropy source: the clock alone will do, the name is only a scratch name
    }
    return seed;
}

WriteResult failure_of(const std::error_code& ec) {
    if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted ||
        ec == std::errc::read_only_file_system) {
        return WriteResult::Denied;
    }
    return WriteResult::Failed;
}

std::error_code last_error() { return {errno, std::generic_category()}; }

// The few file calls of a rewrite, the same on both systems.
#ifdef _WIN32
int create_new(const fs::path& path, fs::perms /*mode*/) {
    return _wopen(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}
bool write_bytes(int fd, const std::string& text) {
    return _write(fd, text.data(), static_cast<unsigned>(text.size())) == static_cast<int>(text.size());
}
bool sync_file(int fd) { return _commit(fd) == 0; }
bool close_file(int fd) { return _close(fd) == 0; }
void keep_mode(int /*fd*/, const fs::path& temp, fs::perms mode) {
    std::error_code ec;
    fs::permissions(temp, mode, ec);  // best effort: only the read-only flag means anything here
}
void sync_folder(const fs::path& /*dir*/) {}  // the rename is in the file system's journal
#else
int create_new(const fs::path& path, fs::perms mode) {
    return ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, static_cast<::mode_t>(mode & fs::perms::mask));
}
bool write_bytes(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const auto n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}
bool sync_file(int fd) { return ::fsync(fd) == 0; }
bool close_file(int fd) { return ::close(fd) == 0; }
void keep_mode(int fd, const fs::path& /*temp*/, fs::perms mode) {
    // Best effort: created with the old mode less the mask, it has no more than the old file at any moment.
    (void)::fchmod(fd, static_cast<::mode_t>(mode & fs::perms::mask));
}
void sync_folder(const fs::path& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);  // the rename itself reaches the disk
    ::close(fd);
}
#endif

// Writes `text` to a new scratch file next to `path`, syncs it and renames
// it over `path`, so the file is always either the old one or the whole new
// one. The scratch file is created with the old file's permissions (which it
// then keeps exactly), or with `new_mode` when there is no old file, so it is
// never open to more than the file is.
WriteResult replace_file(const fs::path& path, const std::string& text, std::optional<fs::perms> old_mode,
                         fs::perms new_mode) {
    const fs::perms mode = old_mode.value_or(new_mode);
    std::error_code ec;
    const auto dir = path.parent_path();
    fs::create_directories(dir, ec);
    if (ec) return failure_of(ec);
    fs::path temp;
    int fd = -1;
    auto suffix = random_suffix();
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt, suffix = suffix * 6364136223846793005ULL + 1) {
        char name[24];
        std::snprintf(name, sizeof name, ".%016llx.tmp", static_cast<unsigned long long>(suffix));
        temp = path;
        temp += name;
        fd = create_new(temp, mode);  // never reuses an existing name
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return failure_of(last_error());
    if (old_mode) keep_mode(fd, temp, *old_mode);
    const bool written = write_bytes(fd, text) && sync_file(fd);
    const auto write_error = last_error();
    const bool closed = close_file(fd);
    if (!written || !closed) {
        const auto error = written ? last_error() : write_error;
        fs::remove(temp, ec);
        return failure_of(error);
    }
    fs::rename(temp, path, ec);
    if (ec) {
        const auto error = ec;
        fs::remove(temp, ec);
        return failure_of(error);
    }
    sync_folder(dir);
    return WriteResult::Written;
}

}  // namespace

std::optional<std::string> ini_lookup(const std::string& text, const std::string& section, const std::string& key) {
    const auto lines = split_lines(text);
    const auto place = find(lines, trim_blanks(section), trim_blanks(key));
    if (!place.key) return std::nullopt;
    return std::string(place.parsed.value);
}

std::string ini_update(const std::string& text, const std::string& section, const std::string& key,
                       const std::string& value, std::string_view new_line) {
    const auto section_name = trim_blanks(section);
    const auto key_name = trim_blanks(key);
    if (!valid_names(section_name, key_name)) return text;
    const auto stored = first_line(value);  // a line break would end the entry (and could forge others)

    const auto lines = split_lines(text);
    const auto place = find(lines, section_name, key_name);
    const auto eol = line_break_of(lines, new_line);

    std::string out;
    out.reserve(text.size() + section_name.size() + key_name.size() + stored.size() + 8);
    const auto append_entry = [&] { out.append(key_name).append("=").append(stored).append(eol); };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto& line = lines[i];
        if (place.key && i == *place.key) {
            // Keep the name and its spacing as they are; only the value changes.
            // A value that starts with blanks (or is empty) brings its own
            // spacing: the old blanks go, or each rewrite would add more.
            const bool own_spacing = stored.empty() || kBlanks.find(stored.front()) != std::string_view::npos;
            const auto keep = own_spacing ? place.parsed.equals_at + 1 : place.parsed.value_at;
            out.append(line.text.substr(0, keep)).append(stored).append(line.ending);
            continue;
        }
        out.append(line.text).append(line.ending);
        if (place.section && !place.key && i == place.last_entry) {
            if (line.ending.empty()) out.append(eol);
            append_entry();
        }
    }
    if (!place.section) {
        if (!lines.empty() && lines.back().ending.empty()) out.append(eol);
        out.append("[").append(section_name).append("]").append(eol);
        append_entry();
    }
    return out;
}

std::optional<std::string> ini_update(const std::string& text, const std::vector<ProfileEntry>& entries,
                                      std::string_view new_line) {
    std::string updated = text;
    for (const auto& e : entries) {
        if (!valid_names(trim_blanks(e.section), trim_blanks(e.key))) return std::nullopt;
        updated = ini_update(updated, e.section, e.key, e.value, new_line);
    }
    return updated;
}

IniFile::IniFile(std::filesystem::path path, std::filesystem::perms new_file_mode)
    : path_(std::move(path)), new_file_mode_(new_file_mode) {}

std::string IniFile::read(const std::string& section, const std::string& key, const std::string& fallback) {
    std::string text;
    if (load(path_, text) != LoadResult::Ok) return fallback;
    auto value = ini_lookup(text, section, key);
    return value ? *value : fallback;
}

bool IniFile::readable() {
    std::string text;
    return load(path_, text) != LoadResult::Failed;
}

WriteResult IniFile::write_all(const std::vector<ProfileEntry>& entries) {
    if (!path_.is_absolute()) return WriteResult::Failed;
    std::string text;
    const auto loaded = load(path_, text);
    if (loaded == LoadResult::Failed) return WriteResult::Failed;  // never replace a file that could not be read
    const auto updated = ini_update(text, entries);
    if (!updated) return WriteResult::Failed;
    if (loaded == LoadResult::Ok && *updated == text) return WriteResult::Written;
    std::optional<fs::perms> old_mode;
    std::error_code ec;
    if (loaded == LoadResult::Ok) {
        const auto status = fs::status(path_, ec);
        if (!ec) old_mode = status.permissions();
    }
    return replace_file(path_, *updated, old_mode, new_file_mode_);
}

}  // namespace vellora::rt
