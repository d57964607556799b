// The headless runtime: a complete platform without a display. Time is a
// virtual clock that only the test moves; input, dialog answers and the
// outside world (pictures, registry, other programs' windows) are scripted;
// everything a user would see is recorded. Window code runs on it exactly
// as on a real platform, nested modal loops included.
//
// `HeadlessPlatform` is the test's handle: it holds the script and the
// records, and hands the runtime its three parts (window system, dialogs,
// system services), each a final class of its own.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/form.h"
#include "runtime/ini_file.h"
#include "runtime/platform.h"

namespace vellora::headless {

// A scripted run reached a point that needs input nobody scripted (a modal
// loop with an empty queue, a dialog with no answer queued).
class ScriptError : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

struct DrawnCircle {
    float x = 0, y = 0, radius = 0;
    rt::Color outline = 0, fill = 0;
};

// What a user would see of one control.
struct ControlRecord {
    std::string name;
    std::vector<DrawnCircle> circles;          // picture boxes: the drawing layer
    std::optional<rt::ForeignWindow> parent;   // picture boxes moved into another window
    int focus_calls = 0;
};

// What a user would see of one window, kept after the window is gone.
struct WindowRecord {
    std::string form_name;
    bool alive = true;
    bool visible = false;
    bool modal = false;
    bool topmost = false;
    bool minimized = false;
    bool input_enabled = true;
    int show_count = 0;
    std::vector<DrawnCircle> circles;  // the form's drawing layer
    std::map<std::string, ControlRecord> controls;
};

struct ForeignWindowInfo {
    rt::PixelRect window;  // screen rectangle
    int client_width = 0;
    int client_height = 0;
};

class HeadlessPlatform final : public rt::Platform {
public:
    // The settings file "vellora.ini" lives in `settings_dir`.
    explicit HeadlessPlatform(std::filesystem::path settings_dir);
    ~HeadlessPlatform() override;

    // ---------------------------------------------------------- the script
    // Queues a step; run() carries the queue out, and modal loops carry on
    // with it from wherever they are.
    void post(std::function<void()> action);
    void post_advance(int ms);
    void post_key(rt::Form& form, std::int16_t key, std::int16_t shift_state = 0);
    // Focuses the box and types the text one character at a time.
    void post_type(rt::TextBox& box, const std::string& text);
    // A mouse click on a button (ignored while its form takes no input).
    void post_click(rt::CommandButton& button);
    void post_menu(rt::MenuCommand& command);
    // Moves the pointer to (x, y) of the form's inner area (twips); the form
    // hears of it when the pointer was elsewhere.
    void post_mouse_move(rt::Form& form, float x = 0, float y = 0);
    void post_mouse_down(rt::Form& form, std::int16_t button = 1);
    void post_dbl_click(rt::Form& form);
    void post_paint(rt::Form& form);
    void post_close(rt::Form& form);
    // Carries out every queued step.
    void run();
    // Shorthand: post_advance(ms) and run().
    void advance(int ms);
    [[nodiscard]] std::size_t pending() const { return queue_.size(); }
    [[nodiscard]] int loop_depth() const { return depth_; }
    // What handlers threw (their events were dropped), in order.
    [[nodiscard]] const std::vector<std::string>& failures() const { return failures_; }

    // ---------------------------------------------------------- the clock
    [[nodiscard]] std::int64_t now_ms() const { return now_ms_; }
    // The time of day (seconds since midnight) at virtual time 0.
    void set_time_of_day(double seconds) { day_base_ = seconds; }

    // ---------------------------------------------------------- the screen and windows
    void set_screen(const rt::ScreenMetrics& metrics) { screen_ = metrics; }
    [[nodiscard]] WindowRecord* window(const std::string& form_name);
    [[nodiscard]] const std::vector<std::shared_ptr<WindowRecord>>& window_records() const { return windows_; }
    [[nodiscard]] int cursor_count() const { return cursor_; }
    // Where the mouse pointer is on the screen (pixels); nothing: unknown.
    void set_pointer(std::optional<rt::PixelPoint> at) { pointer_ = at; }
    [[nodiscard]] std::optional<rt::PixelPoint> pointer() const { return pointer_; }
    void set_cursor_count(int count) { cursor_ = count; }

    // ---------------------------------------------------------- dialogs
    void answer_message_box() { ++message_answers_; }
    void answer_color(std::optional<rt::Color> color) { color_answers_.push_back(color); }
    void answer_file(std::optional<std::string> path) { file_answers_.push_back(std::move(path)); }
    [[nodiscard]] const std::vector<rt::MessageBoxRequest>& messages() const { return messages_; }
    [[nodiscard]] const std::vector<rt::ColorDialogRequest>& color_requests() const { return color_requests_; }
    [[nodiscard]] const std::vector<rt::FileDialogRequest>& file_requests() const { return file_requests_; }
    [[nodiscard]] const std::vector<std::string>& help_opened() const { return help_opened_; }
    // Runs inside the next message box, while it is open.
    void on_message_box(std::function<void()> hook) { message_hook_ = std::move(hook); }

    // ---------------------------------------------------------- pictures
    void add_picture(const std::string& path, std::int32_t himetric_width, std::int32_t himetric_height);
    void add_non_picture(const std::string& path);
    void remove_file(const std::string& path);
    // Makes a picture's header claim another pixel size than it decodes to.
    void set_header_size(const std::string& path, rt::PixelSize size);
    // The file's first bytes, whose Exif orientation turns the picture as it
    // is decoded (its size as stored is the one added).
    void set_file_head(const std::string& path, std::string head);
    // The extensions the decoder claims to read.
    void set_picture_extensions(std::vector<std::string> extensions) { extensions_ = std::move(extensions); }
    // Gives `to` the identity `from` has, as two files of one length written
    // at the same moment have where a file's identity is its size and time.
    void copy_file_identity(const std::string& from, const std::string& to);
    [[nodiscard]] std::size_t decode_count() const { return decode_count_; }
    // Decodes pictures with another decoder from now on (benchmarks).
    void use_decoder(rt::PictureDecoder& decoder) { decoder_in_use_ = &decoder; }

    // ---------------------------------------------------------- registry, user store
    void set_registry_value(std::uint32_t root, const std::string& key, const std::string& name, std::uint32_t type,
                            std::vector<std::uint8_t> data);
    void set_registry_dword(std::uint32_t root, const std::string& key, const std::string& name, std::uint32_t v);
    void set_registry_string(std::uint32_t root, const std::string& key, const std::string& name,
                             const std::string& text);
    void add_registry_key(std::uint32_t root, const std::string& key);
    [[nodiscard]] int registry_calls() const { return registry_calls_; }
    // The desktop's own password flag, for a platform that keeps it outside the registry.
    void set_desktop_password_flag(std::optional<bool> flag) { desktop_flag_ = flag; }
    [[nodiscard]] int open_registry_keys() const;
    [[nodiscard]] std::map<std::string, std::string>& user_values() { return user_values_; }
    // Makes every write to the per-user store fail (a locked-down registry, a full disk).
    void set_user_store_fails(bool fails) { user_store_fails_ = fails; }
    // Makes every write to the settings file fail (a read-only folder, a full disk).
    void set_settings_write_fails(bool fails) { settings_write_fails_ = fails; }
    // Makes only the next write to the settings file fail (a file another program held for a moment).
    void fail_next_settings_write() { settings_writes_to_fail_ = 1; }

    // ---------------------------------------------------------- other programs, the process
    void add_foreign_window(rt::ForeignWindow id, ForeignWindowInfo info) { foreign_[id] = info; }
    void destroy_foreign_window(rt::ForeignWindow id) { foreign_.erase(id); }
    void set_previous_instance(bool running) { previous_instance_ = running; }
    void set_command_line(std::string arguments) { arguments_ = std::move(arguments); }
    void set_spare_picture_path(std::string path) { spare_ = std::move(path); }
    [[nodiscard]] rt::IniFile& ini() { return ini_; }

    // ---------------------------------------------------------- rt::Platform
    rt::WindowSystem& windows() override;
    rt::Dialogs& dialogs() override;
    rt::SystemServices& services() override;

private:
    class Window;
    class Control;
    class Timer;
    class Decoder;
    class Reg;
    class Store;
    class WindowSystem;
    class Dialogs;
    class Services;
    class SettingsFile;

    struct Step {
        std::function<void()> action;
        int advance_ms = 0;
    };
    struct TimerSlot {
        std::function<void()> tick;
        bool active = false;
        int interval = 0;
        std::int64_t deadline = 0;
        std::uint64_t order = 0;  // start order breaks ties between equal deadlines
    };
    void step(Step& s);
    void advance_to(std::int64_t target);
    void run_until(const std::function<bool()>& done);

    rt::IniFile ini_;
    rt::ScreenMetrics screen_{};
    std::deque<Step> queue_;
    int depth_ = 0;
    std::int64_t now_ms_ = 0;
    double day_base_ = 12 * 3600.0;
    std::vector<std::shared_ptr<TimerSlot>> timers_;
    std::uint64_t timer_order_ = 0;
    std::vector<std::shared_ptr<WindowRecord>> windows_;
    int cursor_ = 0;
    std::optional<rt::PixelPoint> pointer_;
    int message_answers_ = 0;
    std::deque<std::optional<rt::Color>> color_answers_;
    std::deque<std::optional<std::string>> file_answers_;
    std::vector<rt::MessageBoxRequest> messages_;
    std::vector<rt::ColorDialogRequest> color_requests_;
    std::vector<rt::FileDialogRequest> file_requests_;
    std::vector<std::string> help_opened_;
    std::function<void()> message_hook_;
    struct FakeFile {
        bool picture = false;
        std::int32_t width = 0, height = 0;
        std::uint64_t version = 0;
        std::optional<rt::PixelSize> header;  // nothing: the natural size at 96 dots per inch
        std::string head;                     // the file's first bytes
    };
    std::map<std::string, FakeFile> files_;
    std::uint64_t file_version_ = 0;
    std::size_t decode_count_ = 0;
    std::vector<std::string> extensions_ = {"bmp", "gif", "ico", "jfif", "jpe", "jpeg", "jpg", "png", "wmf"};
    struct RegValue {
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
    };
    std::map<std::string, std::map<std::string, RegValue>> registry_;  // "root\key" lower-cased
    int registry_calls_ = 0;
    std::map<rt::Registry::Key, std::string> open_keys_;
    rt::Registry::Key next_key_ = 0x1000;
    std::map<std::string, std::string> user_values_;  // "app\\section\\key" -> value
    bool user_store_fails_ = false;
    std::map<rt::ForeignWindow, ForeignWindowInfo> foreign_;
    bool previous_instance_ = false;
    std::string arguments_;
    std::string spare_ = "c:\\imgx.bmp";
    std::optional<bool> desktop_flag_;
    bool settings_write_fails_ = false;
    int settings_writes_to_fail_ = 0;
    std::vector<std::string> failures_;
    std::unique_ptr<Decoder> decoder_;
    rt::PictureDecoder* decoder_in_use_ = nullptr;
    std::unique_ptr<Reg> reg_;
    std::unique_ptr<Store> store_;
    std::unique_ptr<WindowSystem> window_system_;
    std::unique_ptr<Dialogs> dialogs_;
    std::unique_ptr<Services> services_;
    std::unique_ptr<SettingsFile> settings_file_;
};

}  // namespace vellora::headless
