// The Qt 6 runtime: forms as QWidget windows, the nested event loop, the
// dialogs, pictures, and the Linux services (see linux_services.h).
#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/qt/linux_services.h"
#include "platform/qt/qt_pictures.h"
#include "platform/qt/x11_windows.h"
#include "runtime/form.h"
#include "runtime/platform.h"
#include "runtime/ini_file.h"

class QObject;
class QStyle;
class QTimer;

namespace vellora::qt {

class FormWidget;

// Hack mode (XScreenSaver): the saver draws into a window it is given.
struct HackTarget {
    std::uint32_t window = 0;  // X11 window id
};

struct Options {
    Paths paths;
    std::string arguments;                 // argv[1..] joined with blanks
    std::optional<bool> lock_override;     // VELLORA_LOCK
    std::optional<HackTarget> hack;        // -root / -window-id / XSCREENSAVER_WINDOW
    std::filesystem::path trace_file;      // VELLORA_TRACE: a log of what the user sees
    bool ask_gsettings = true;

    // Everything from the environment: XDG folders, VELLORA_LOCK, VELLORA_TRACE.
    static Options from_environment();
};

// Qt's key code and modifiers as the runtime's key code and shift state.
std::int16_t key_code_of(int qt_key);
std::int16_t shift_state_of(Qt::KeyboardModifiers modifiers);

// A "desc|pattern|..." filter in Qt's "desc (patterns);;..." form, one entry per filter.
std::vector<std::string> qt_name_filters(const std::string& filter);

// Converts runtime colours.
QColor to_qcolor(rt::Color color);

class QtPlatform final : public rt::Platform {
public:
    explicit QtPlatform(Options options);
    ~QtPlatform() override;
    QtPlatform(const QtPlatform&) = delete;
    QtPlatform& operator=(const QtPlatform&) = delete;

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
    std::string command_line_arguments() override { return options_.arguments; }
    rt::ProfileFile& settings_file() override { return settings_; }
    rt::Registry& registry() override { return registry_; }
    rt::UserStore& user_store() override { return user_store_; }
    rt::PictureDecoder& picture_decoder() override { return decoder_; }
    rt::Picture app_icon() override;
    std::string spare_picture_path() override { return options_.paths.spare_picture().string(); }

    // ---------------------------------------------------------- for the peers and main()
    [[nodiscard]] const Options& options() const { return options_; }
    [[nodiscard]] bool hack_mode() const { return options_.hack.has_value(); }
    [[nodiscard]] double dpi() const;
    [[nodiscard]] float twips_per_pixel_x() const;
    [[nodiscard]] float twips_per_pixel_y() const;
    // Widgets and timers whose owner is gone; deleted once no handler of
    // theirs can be on the stack (between events of the outermost loop).
    void bury(QObject* object);
    [[nodiscard]] QStyle* password_style();
    [[nodiscard]] x11::Display& x11();
    // Ends every loop at once (SIGTERM in hack mode, after the forms were asked to unload).
    void request_quit() { quit_ = true; }
    [[nodiscard]] bool quit_requested() const { return quit_; }
    // The window shown in hack mode follows the target's size.
    void set_hack_window(FormWidget* widget);
    // Forms' windows as they are shown and destroyed.
    void window_shown(FormWidget* widget);
    void forget_window(FormWidget* widget);
    // Activates the most recently shown window of the program that is still there.
    void give_back_keyboard();
    // Appends one line to the trace file, if there is one.
    void trace(const std::string& line);
    void trace_when_active(QWidget& dialog, const std::string& name);
    [[nodiscard]] int cursor_count() const { return cursor_; }
    [[nodiscard]] int loop_depth() const { return depth_; }

private:
    void purge();
    void poll_hack_target();

    Options options_;
    settings::IniFile settings_;
    UserStoreFile user_store_;
    DesktopRegistry registry_;
    QtPictureDecoder decoder_;
    InstanceLock instance_lock_;
    std::unique_ptr<x11::Display> x11_;
    std::vector<QPointer<QObject>> graveyard_;
    std::unique_ptr<QStyle> password_style_;
    int depth_ = 0;
    int cursor_ = 0;
    bool cursor_hidden_ = false;
    bool quit_ = false;
    FormWidget* hack_window_ = nullptr;
    std::vector<FormWidget*> shown_;
    std::unique_ptr<QTimer> hack_poll_;
    int hack_width_ = 0;
    int hack_height_ = 0;
    QPointer<QWidget> help_window_;
};

}  // namespace vellora::qt
