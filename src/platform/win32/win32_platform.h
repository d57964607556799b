// The Win32 runtime: forms as real windows, controls as standard BUTTON,
// EDIT and STATIC windows, images and the drawing layer painted by the form,
// timers on the thread's message queue, pictures through OLE, the settings
// file through the private-profile functions and the stores in the registry.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/form.h"
#include "runtime/platform.h"

// After the runtime's headers: the dialog headers of Windows define macros
// with the names of some of the runtime's constants.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <ole2.h>

namespace vellora::win32 {

class FormWindow;
class HelpViewer;

// ------------------------------------------------------------------ helpers with no window behind them

// The argument text of a command line: the program's name (quoted or not)
// and the blanks after it skipped.
std::string arguments_after_program_name(std::string_view command_line);

// "description|pattern|..." as the file dialog wants it: each part ended by
// a NUL and the whole list by a second NUL.
std::string filter_for_dialog(const std::string& filter);

// Where a bare help-file name is looked for: beside the program, then the
// current directory, then the Windows directory. A name with a directory
// part is taken as it is.
std::vector<std::string> help_file_candidates(const std::string& help_file);

// Text for a multi-line EDIT: every line break as CR LF.
std::string with_crlf_line_breaks(const std::string& text);

// A predefined registry root given as a 32-bit number (0x80000001 ...) as
// the handle the API expects (sign-extended on 64-bit Windows).
HKEY registry_root(std::uint32_t root);

// A window handle given on the command line as a 32-bit number.
HWND window_from_number(rt::ForeignWindow number);

// ------------------------------------------------------------------ stores

// The settings file: the private-profile functions with a bare file name,
// so the file lies in the Windows directory. Values are read whole.
class ProfileFile final : public rt::ProfileFile {
public:
    explicit ProfileFile(std::string file_name = "vellora.ini") : file_name_(std::move(file_name)) {}
    [[nodiscard]] std::string read(const std::string& section, const std::string& key,
                                   const std::string& fallback) override;
    bool write(const std::string& section, const std::string& key, const std::string& value) override;
    [[nodiscard]] const std::string& file_name() const { return file_name_; }

private:
    std::string file_name_;
};

class Registry final : public rt::Registry {
public:
    [[nodiscard]] std::optional<Key> open(std::uint32_t root, const std::string& path, std::uint32_t access) override;
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

// ------------------------------------------------------------------ pictures

// A decoded picture: an OLE picture object.
class OlePicture final : public rt::NativeImage {
public:
    explicit OlePicture(IUnknown* picture);
    ~OlePicture() override;
    OlePicture(const OlePicture&) = delete;
    OlePicture& operator=(const OlePicture&) = delete;
    // Draws the whole picture into the pixel box (x, y, cx, cy) of `dc`.
    void render(HDC dc, int x, int y, int cx, int cy) const;
    // A bitmap with no transparent pixels (BMP, JPEG, GIF without a
    // transparent colour): it hides everything beneath the pixels it covers.
    // Icons and metafiles are never opaque.
    [[nodiscard]] bool opaque() const { return opaque_; }
    // Copies the `cx` x `cy` pixels at (src_x, src_y) of the picture to
    // (x, y) of `dc`, pixel for pixel. Only a bitmap drawn at its own pixel
    // size (`width` x `height`) can be copied; false means it must be
    // rendered instead.
    bool copy(HDC dc, int x, int y, int cx, int cy, int src_x, int src_y, int width, int height) const;
    [[nodiscard]] IUnknown* object() const { return picture_; }

private:
    IUnknown* picture_;
    bool opaque_ = false;
    HBITMAP bitmap_ = nullptr;  // a bitmap picture's own pixels (the picture owns them)
    SIZE bitmap_size_{0, 0};
    // A memory DC the bitmap is selected into while it is copied (a bitmap
    // can be selected into one DC at a time, and the picture's own Render
    // selects it too).
    mutable HDC source_ = nullptr;
};

class PictureDecoder final : public rt::PictureDecoder {
public:
    [[nodiscard]] std::optional<rt::FileIdentity> identify(const std::string& path) override;
    [[nodiscard]] rt::Picture decode(const std::string& path) override;
};

// A picture made from an icon handle (the program's own icon).
rt::Picture picture_from_icon(HICON icon, bool owned);

// ------------------------------------------------------------------ the platform

class Win32Platform final : public rt::Platform {
public:
    explicit Win32Platform(HINSTANCE instance = nullptr);
    ~Win32Platform() override;
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    // ---------------------------------------------------------- rt::Platform
    std::unique_ptr<rt::NativeWindow> create_window(rt::Form& form) override;
    std::unique_ptr<rt::NativeTimer> create_timer(std::function<void()> tick) override;
    void run_until(const std::function<bool()>& done) override;
    void send_key(rt::Form* active, std::int16_t key, std::int16_t shift_state) override;
    rt::ScreenMetrics screen() override;
    int show_cursor(bool show) override;
    double time_of_day() override;
    void message_box(const rt::MessageBoxRequest& request) override;
    std::optional<rt::Color> choose_color(const rt::ColorDialogRequest& request) override;
    std::optional<std::string> open_file(const rt::FileDialogRequest& request) override;
    void show_help(const std::string& help_file) override;
    bool is_window(rt::ForeignWindow window) override;
    std::optional<rt::PixelRect> client_rect(rt::ForeignWindow window) override;
    std::optional<rt::PixelRect> window_rect(rt::ForeignWindow window) override;
    bool previous_instance() override;
    std::string command_line_arguments() override;
    rt::ProfileFile& settings_file() override { return profile_; }
    rt::Registry& registry() override { return registry_; }
    rt::UserStore& user_store() override { return user_store_; }
    rt::PictureDecoder& picture_decoder() override { return decoder_; }
    rt::Picture app_icon() override;
    std::string spare_picture_path() override { return "c:\\imgx.bmp"; }

    // ---------------------------------------------------------- for the peers and tests
    [[nodiscard]] HINSTANCE instance() const { return instance_; }
    // Takes one message from the queue (waiting for it) and handles it;
    // false once the queue has been told to quit.
    bool pump_one();
    // Handles every message already waiting, without waiting for more.
    void pump_pending();
    // Key presses go to the form they were typed into.
    void dispatch(MSG& msg);
    [[nodiscard]] FormWindow* form_window_of(HWND hwnd) const;
    [[nodiscard]] HFONT font(bool bold);
    [[nodiscard]] float twips_per_pixel_x() const { return tppx_; }
    [[nodiscard]] float twips_per_pixel_y() const { return tppy_; }
    [[nodiscard]] int dpi_x() const { return dpi_x_; }
    [[nodiscard]] int dpi_y() const { return dpi_y_; }
    [[nodiscard]] HWND help_window() const;
    // The window that dialogs of the program belong to: the active one of ours.
    [[nodiscard]] HWND dialog_owner() const;
    void register_form_window(HWND hwnd, FormWindow* window);
    void unregister_form_window(HWND hwnd);
    // The screen's size or the system's metrics changed: ask the system again.
    void display_changed() { screen_size_.reset(); }
    [[nodiscard]] const std::map<HWND, FormWindow*>& form_windows() const { return forms_; }

    // Timers (thread timers on a message-only window).
    struct TimerSlot {
        std::function<void()> tick;
        UINT_PTR id = 0;
        bool running = false;
    };
    void start_timer(const std::shared_ptr<TimerSlot>& slot, int interval_ms);
    void stop_timer(TimerSlot& slot);
    void drop_timer(TimerSlot& slot);

private:
    static LRESULT CALLBACK timer_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    bool route_key(FormWindow& window, const MSG& msg);

    HINSTANCE instance_;
    bool ole_ = false;
    int dpi_x_ = 96, dpi_y_ = 96;
    float tppx_ = 15.0F, tppy_ = 15.0F;
    HWND timer_window_ = nullptr;
    UINT_PTR next_timer_id_ = 1;
    std::map<UINT_PTR, std::shared_ptr<TimerSlot>> timers_;
    std::map<HWND, FormWindow*> forms_;
    std::optional<SIZE> screen_size_;  // kept while a form window is there to hear of a change
    std::array<HFONT, 2> fonts_{};
    HANDLE instance_mutex_ = nullptr;
    std::array<COLORREF, 16> custom_colors_{};
    rt::Picture icon_;
    ProfileFile profile_;
    Registry registry_;
    UserStore user_store_;
    PictureDecoder decoder_;
    std::unique_ptr<HelpViewer> help_;
};

// Window class names, for tests and the help viewer.
inline constexpr const char* kFormClass = "VelloraForm";
inline constexpr const char* kBoxClass = "VelloraPictureBox";
inline constexpr const char* kHelpClass = "VelloraHelp";
inline constexpr const char* kHelpTitle = "Vellora Help";
inline constexpr const char* kInstanceMutex = "Vellora.ScreenSaver.Running";

}  // namespace vellora::win32
