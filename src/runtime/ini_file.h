// A private-profile ("ini") file: the settings file's format where the
// platform has no profile functions of its own (Linux, the headless test bed).
// It behaves as the Windows profile functions do: section and key names
// compare without regard to case, blanks around names and values are
// trimmed, lines starting with ';' are comments, and a value is otherwise
// taken as it stands ('=', ';' and '#' inside a value are data) and is read
// whole. Only the first section of a name counts, and its first key of a name.
// Writes replace the file atomically: the new text goes to a scratch file in
// the same directory, which is then renamed over the old one, so a failed
// write (full disk, no access) leaves the old file exactly as it was. A value
// is stored up to its first line break; the rest is dropped, so a value can
// never break the file into forged lines.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "runtime/services.h"

namespace vellora::rt {

// Reads one value out of profile-file text; nothing when the section or key is missing.
std::optional<std::string> ini_lookup(const std::string& text, const std::string& section, const std::string& key);

// The text with one key set (created if needed, at the end of its section,
// or with a new section at the end of the text); every other line is kept,
// line breaks included. Names that cannot be stored (empty, with a line
// break, a key with '=' or starting with ';' or '[') leave the text as it is.
std::string ini_update(const std::string& text, const std::string& section, const std::string& key,
                       const std::string& value);

class IniFile final : public ProfileFile {
public:
    explicit IniFile(std::filesystem::path path);
    [[nodiscard]] std::string read(const std::string& section, const std::string& key,
                                   const std::string& fallback) override;
    bool write(const std::string& section, const std::string& key, const std::string& value) override;
    [[nodiscard]] std::string location() const override { return path_.parent_path().string(); }
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace vellora::rt
