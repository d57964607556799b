// The stores of the forms runtime (settings file, per-user store, registry)
// and what the program asks of the common dialogs. Each platform provides a
// final implementation of each store.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "runtime/types.h"

namespace vellora::rt {

// How a write to the settings file ended. A failure says why, because what
// to do next depends on it: a place this user may not write is worth leaving
// for the user's own, a file another program holds for a moment is not.
enum class WriteResult {
    Written,
    Denied,  // the place may not be written by this user (no access, write-protected)
    Busy,    // another program held the file (a virus scanner, a backup) beyond a brief wait
    Failed,  // anything else: a full disk, a value too long, a file that could not be read
};

// One value to store in the settings file.
struct ProfileEntry {
    std::string section;
    std::string key;
    std::string value;
};

// The settings file: a private-profile text file ("[section]" lines and
// "key=value" lines). Section and key names compare without regard to case.
class ProfileFile {
public:
    virtual ~ProfileFile() = default;
    // The whole stored value, or `fallback` when the section or key is missing.
    // A key present with nothing after '=' gives the empty text.
    [[nodiscard]] virtual std::string read(const std::string& section, const std::string& key,
                                           const std::string& fallback) = 0;
    // Sets every entry (creating sections and keys as needed) in one
    // rewrite of the file: all of them are stored, or none and the old file
    // is left as it was.
    virtual WriteResult write_all(const std::vector<ProfileEntry>& entries) = 0;
    // One key; true when it was stored.
    bool write(const std::string& section, const std::string& key, const std::string& value) {
        return write_all({{section, key, value}}) == WriteResult::Written;
    }
    // False when the file is there but cannot be read (no access, not a
    // file, held by another program): every read then gives its fallback,
    // and no write replaces it. A file that is not there yet can be read.
    [[nodiscard]] virtual bool readable() = 0;
    // The folder the file is written to, for messages.
    [[nodiscard]] virtual std::string location() const = 0;
};

// The settings file of a program that kept it in a place shared by all
// users (the Windows directory), which an ordinary user may not write: once
// a write there is denied, the file moves to the user's own place (a copy
// of the shared file, made once) and stays there. A write that failed for
// another reason (the file held by another program, a full disk) moves
// nothing. While the user's copy exists, it is the only one read and
// written, so the choices can never be split between the two.
class RelocatingProfileFile final : public ProfileFile {
public:
    // `own_exists` tells whether the user's copy exists; `make_own` creates
    // it as a copy of the shared file (its folder first, and nothing more
    // when there is no shared file) and says whether that worked.
    RelocatingProfileFile(ProfileFile& shared, ProfileFile& own, std::function<bool()> own_exists,
                          std::function<bool()> make_own);
    [[nodiscard]] std::string read(const std::string& section, const std::string& key,
                                   const std::string& fallback) override;
    WriteResult write_all(const std::vector<ProfileEntry>& entries) override;
    [[nodiscard]] bool readable() override;
    [[nodiscard]] std::string location() const override;

private:
    [[nodiscard]] ProfileFile& in_use() { return own_exists_() ? own_ : shared_; }

    ProfileFile& shared_;
    ProfileFile& own_;
    std::function<bool()> own_exists_;
    std::function<bool()> make_own_;
    bool tried_own_ = false;  // a write has gone to the user's place
};

// Registry value types, as the registry reports them, and its predefined
// root keys as 32-bit numbers.
namespace reg {
inline constexpr std::uint32_t Sz = 1;
inline constexpr std::uint32_t ExpandSz = 2;
inline constexpr std::uint32_t Binary = 3;
inline constexpr std::uint32_t Dword = 4;
inline constexpr std::uint32_t MultiSz = 7;

inline constexpr std::uint32_t ClassesRoot = 0x80000000U;
inline constexpr std::uint32_t CurrentUser = 0x80000001U;
inline constexpr std::uint32_t LocalMachine = 0x80000002U;
inline constexpr std::uint32_t Users = 0x80000003U;
inline constexpr std::uint32_t PerformanceData = 0x80000004U;
inline constexpr std::uint32_t CurrentConfig = 0x80000005U;
inline constexpr std::uint32_t DynData = 0x80000006U;
}  // namespace reg

// Read access to the system registry, shaped like the three calls the
// settings code makes: open a key for reading, query one value into a
// buffer, close.
class Registry {
public:
    using Key = std::uintptr_t;

    struct Query {
        bool ok = false;                 // false: missing value, or data larger than the buffer
        std::uint32_t type = 0;          // reg::Sz, reg::Dword, ...
        std::vector<std::uint8_t> data;  // the value's bytes (at most the buffer size)
        std::uint32_t size = 0;          // data size the registry reports, including a text's zero
    };

    virtual ~Registry() = default;
    [[nodiscard]] virtual std::optional<Key> open(std::uint32_t root, const std::string& path) = 0;
    [[nodiscard]] virtual Query query(Key key, const std::string& value_name, std::uint32_t buffer_size) = 0;
    virtual void close(Key key) = 0;
};

// The per-user settings store: strings addressed by application, section and key.
class UserStore {
public:
    virtual ~UserStore() = default;
    [[nodiscard]] virtual std::string read(const std::string& application, const std::string& section,
                                           const std::string& key, const std::string& fallback) = 0;
    virtual bool write(const std::string& application, const std::string& section, const std::string& key,
                       const std::string& value) = 0;
};

// Message box styles the windows use.
enum class MessageIcon { None, Stop };

struct MessageBoxRequest {
    std::string text;
    std::string title;
    MessageIcon icon = MessageIcon::Stop;
};

// The colour dialog: it opens showing `initial` when `start_on_initial`
// is set, otherwise on the dialog's own first colour.
struct ColorDialogRequest {
    Color initial = 0;
    bool start_on_initial = false;
};

// The file-open dialog. `filter` is "description|pattern|description|pattern..."
// and `filter_index` is 1-based. `file_name` is the name the dialog holds
// before it opens. `hide_read_only` leaves out the "open as read-only" box.
struct FileDialogRequest {
    std::string filter;
    int filter_index = 1;
    bool hide_read_only = false;
    std::string file_name;
};

// Splits a "description|pattern|..." filter into its entries.
struct FilterEntry {
    std::string description;
    std::string pattern;
    friend bool operator==(const FilterEntry&, const FilterEntry&) = default;
};
std::vector<FilterEntry> split_filter(const std::string& filter);

}  // namespace vellora::rt
