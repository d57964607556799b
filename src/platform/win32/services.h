// The system services on Win32: the settings file (private profile), the
// per-user store and the registry, the clock and the cursor, the one copy
// of the program at a time, its command line, help, pictures and where
// failures of handlers are reported (the debugger's output).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/help.h"
#include "platform/win32/pictures.h"
#include "platform/win32/platform.h"

namespace vellora::win32 {

// The argument text of a command line: the program's name (quoted or not)
// and the blanks after it skipped.
std::string arguments_after_program_name(std::string_view command_line);

// A predefined registry root given as a 32-bit number (0x80000001 ...) as
// the handle the API expects (sign-extended on 64-bit Windows).
HKEY registry_root(std::uint32_t root);

// Text in the ANSI code page (the program's own text) as UTF-16 and back;
// a character the code page lacks comes back as '?'.
std::wstring wide_from_ansi(std::string_view text);
std::string ansi_from_wide(std::wstring_view text);

// The settings file shared by every user: read through the private-profile
// functions with a bare file name, so the file lies in the Windows
// directory. Values are read whole. A write sets all its keys in one
// rewrite of the file that replaces it in one step; a file another program
// holds is tried again for a few hundred milliseconds, and a failure says
// whether the place is denied to this user or the file was busy.
class ProfileFile final : public rt::ProfileFile {
public:
    explicit ProfileFile(std::string file_name = "vellora.ini") : file_name_(std::move(file_name)) {}
    [[nodiscard]] std::string read(const std::string& section, const std::string& key,
                                   const std::string& fallback) override;
    rt::WriteResult write_all(const std::vector<rt::ProfileEntry>& entries) override;
    [[nodiscard]] bool readable() override;
    // The Windows directory.
    [[nodiscard]] std::string location() const override;
    [[nodiscard]] const std::string& file_name() const { return file_name_; }
    // The file's full path (in the Windows directory).
    [[nodiscard]] std::wstring path() const;

private:
    std::string file_name_;
};

// The user's own copy of the settings file, %APPDATA%\Vellora\vellora.ini,
// for when the Windows directory cannot be written. Its path goes through
// the wide-character functions (a user name outside the ANSI code page
// still reaches it); its text stays in the ANSI code page like the shared
// file's: the profile functions keep the encoding of the file they find
// and write a new file as ANSI.
class UserProfileFile final : public rt::ProfileFile {
public:
    // `folder` is where the file lies; empty: %APPDATA%\Vellora, looked up
    // when first needed.
    explicit UserProfileFile(std::wstring folder = {}, std::wstring file_name = L"vellora.ini")
        : folder_(std::move(folder)), file_name_(std::move(file_name)) {}
    [[nodiscard]] std::string read(const std::string& section, const std::string& key,
                                   const std::string& fallback) override;
    // As the shared file's.
    rt::WriteResult write_all(const std::vector<rt::ProfileEntry>& entries) override;
    [[nodiscard]] bool readable() override;
    // The user's folder, in the ANSI code page (for the message box).
    [[nodiscard]] std::string location() const override;
    // The file's full path; empty when the user has no application data folder.
    [[nodiscard]] std::wstring path() const;
    [[nodiscard]] bool exists() const;
    // Makes the user's file as a copy of `shared`: its folder first, then
    // the copy (only the folder when there is no such file). True when the
    // folder is there and the file is, or there was nothing to copy.
    bool copy_from(const std::wstring& shared) const;

private:
    [[nodiscard]] const std::wstring& folder() const;
    mutable std::wstring folder_;
    std::wstring file_name_;
};

// The system registry, keys opened for reading.
class Registry final : public rt::Registry {
public:
    [[nodiscard]] std::optional<Key> open(std::uint32_t root, const std::string& path) override;
    [[nodiscard]] Query query(Key key, const std::string& value_name, std::uint32_t buffer_size) override;
    void close(Key key) override;
};

// HKEY_CURRENT_USER\Software\<application>\<section>, value <key>, a REG_SZ.
class UserStore final : public rt::UserStore {
public:
    [[nodiscard]] std::string read(const std::string& application, const std::string& section,
                                   const std::string& key, const std::string& fallback) override;
    bool write(const std::string& application, const std::string& section, const std::string& key,
               const std::string& value) override;
    [[nodiscard]] static std::string key_path(const std::string& application, const std::string& section);
};

class Services final : public rt::SystemServices {
public:
    explicit Services(WindowSystem& windows);

    // The shared file in the Windows directory; once a write there is
    // denied, the user's own copy, for good.
    rt::ProfileFile& settings_file() override { return profile_; }
    rt::UserStore& user_store() override { return user_store_; }
    rt::Registry* registry() override { return &registry_; }
    // The flag is the registry value the program reads itself.
    std::optional<bool> desktop_password_flag() override { return std::nullopt; }
    double time_of_day() override;
    // GetTickCount64: milliseconds since the system started.
    double steady_seconds() override;
    int show_cursor(bool show) override;
    bool previous_instance() override;
    std::string command_line_arguments() override;
    void show_help(const std::string& help_file) override { help_.open(help_file); }
    rt::PictureDecoder& picture_decoder() override { return decoder_; }
    rt::Picture app_icon() override;
    std::string spare_picture_path() override { return "c:\\imgx.bmp"; }
    // OutputDebugStringA: the debugger's output, or a viewer of it.
    void report_failure(const std::string& what) override;

    // The help viewer's window while it is open.
    [[nodiscard]] HWND help_window() const { return help_.hwnd(); }

private:
    WindowSystem& windows_;
    ProfileFile shared_profile_;
    UserProfileFile user_profile_;
    rt::RelocatingProfileFile profile_;
    Registry registry_;
    UserStore user_store_;
    PictureDecoder decoder_;
    KernelHandle instance_mutex_;  // held while this is the running copy
    rt::Picture icon_;
    HelpViewer help_;
};

}  // namespace vellora::win32
