// A private-profile ("ini") file: the settings file's format where the
// platform has no profile functions of its own (Linux, the headless test bed).
// It behaves as the Windows profile functions do: section and key names
// compare without regard to case, blanks around names and values are
// trimmed, lines starting with ';' are comments, and a value is otherwise
// taken as it stands ('=', ';' and '#' inside a value are data) and is read
// whole. Only the first section of a name counts, and its first key of a name.
// Writes replace the file atomically: the new text goes to a scratch file in
// the same directory, which is synced to the disk and then renamed over the
// old one, so a failed write (full disk, no access, a power loss) leaves the
// old file exactly as it was. A value is stored up to its first line break;
// the rest is dropped, so a value can never break the file into forged lines.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/services.h"

namespace vellora::rt {

// Reads one value out of profile-file text; nothing when the section or key is missing.
std::optional<std::string> ini_lookup(const std::string& text, const std::string& section, const std::string& key);

// The text with one key set (created if needed, at the end of its section,
// or with a new section at the end of the text); every other line is kept,
// line breaks included. New lines end like the text's own, or with
// `new_line` in a text without line breaks. Names that cannot be stored
// (empty, with a line break, a key with '=' or starting with ';' or '[')
// leave the text as it is.
std::string ini_update(const std::string& text, const std::string& section, const std::string& key,
                       const std::string& value, std::string_view new_line = "\n");
// The text with every entry set, in order; nothing when the names of any
// entry cannot be stored.
std::optional<std::string> ini_update(const std::string& text, const std::vector<ProfileEntry>& entries,
                                      std::string_view new_line = "\n");

class IniFile final : public ProfileFile {
public:
    // A file that does not exist yet is created with `new_file_mode` (less
    // what the process's file mode mask takes away). A rewrite keeps the old
    // file's permissions, and its scratch file never has more than those.
    // A relative path names no place of its own: nothing is read from or
    // written to it.
    explicit IniFile(std::filesystem::path path,
                     std::filesystem::perms new_file_mode = std::filesystem::perms::owner_read |
                                                            std::filesystem::perms::owner_write |
                                                            std::filesystem::perms::group_read |
                                                            std::filesystem::perms::group_write |
                                                            std::filesystem::perms::others_read |
                                                            std::filesystem::perms::others_write);
    [[nodiscard]] std::string read(const std::string& section, const std::string& key,
                                   const std::string& fallback) override;
    WriteResult write_all(const std::vector<ProfileEntry>& entries) override;
    [[nodiscard]] bool readable() override;
    [[nodiscard]] std::string location() const override { return path_.parent_path().string(); }
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    std::filesystem::perms new_file_mode_;
};

}  // namespace vellora::rt
