// What a platform (headless, Win32, Qt) provides to the forms runtime, in
// three small parts: the window system with its event loop, the common
// dialogs, and the system services. Each platform implements each part in
// a final class of its own and hands the three out through `Platform`.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "runtime/picture.h"
#include "runtime/services.h"
#include "runtime/types.h"

namespace vellora::rt {

class Form;
class Control;

// What changed on a form or control; the peer reads the new state from it.
enum class Change : unsigned {
    Geometry = 1U << 0U,
    Text = 1U << 1U,      // caption or text
    Visible = 1U << 2U,
    Enabled = 1U << 3U,
    Image = 1U << 4U,     // picture or stretch flag
    Colors = 1U << 5U,    // back, fore or fill colour
    Style = 1U << 6U,     // password character, default/cancel button
};
inline constexpr Change kAllChanges = static_cast<Change>(0x7FU);
constexpr Change operator|(Change a, Change b) {
    return static_cast<Change>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
constexpr bool has(Change what, Change bit) { return (static_cast<unsigned>(what) & static_cast<unsigned>(bit)) != 0; }

// The native side of one control.
class NativeControl {
public:
    virtual ~NativeControl() = default;
    virtual void update(Change what) = 0;
    virtual void focus() = 0;
    // Picture boxes: draw on the box's persistent drawing layer (twips).
    virtual void draw_circle(float x, float y, float radius, Color outline, Color fill) = 0;
    // Picture boxes: make the box a child of another program's window.
    virtual bool set_parent(ForeignWindow parent) = 0;
};

// The native side of one form.
class NativeWindow {
public:
    virtual ~NativeWindow() = default;
    [[nodiscard]] virtual std::unique_ptr<NativeControl> create_control(Control& control) = 0;
    virtual void update(Change what) = 0;
    [[nodiscard]] virtual FrameInsets frame() const = 0;
    virtual void show(bool modal) = 0;
    virtual void hide() = 0;
    virtual void set_topmost() = 0;
    virtual void set_input_enabled(bool enabled) = 0;
    virtual void minimize() = 0;
    // Draw on the form's persistent drawing layer, under its controls (twips).
    virtual void draw_circle(float x, float y, float radius, Color outline, Color fill) = 0;
    // A window handle of the platform, for diagnostics and for foreign parents.
    [[nodiscard]] virtual std::uintptr_t handle() const = 0;
};

// A repeating timer of the platform's event loop.
class NativeTimer {
public:
    virtual ~NativeTimer() = default;
    // (Re)starts the interval from now.
    virtual void start(int interval_ms) = 0;
    virtual void stop() = 0;
};

// Windows, timers, the event loop, the screen and other programs' windows.
class WindowSystem {
public:
    virtual ~WindowSystem() = default;
    [[nodiscard]] virtual std::unique_ptr<NativeWindow> create_window(Form& form) = 0;
    [[nodiscard]] virtual std::unique_ptr<NativeTimer> create_timer(std::function<void()> tick) = 0;
    // Dispatches events until `done` holds; nests.
    virtual void run_until(const std::function<bool()>& done) = 0;
    [[nodiscard]] virtual ScreenMetrics screen() = 0;
    // Where the mouse pointer is, in screen pixels; nothing when unknown.
    [[nodiscard]] virtual std::optional<PixelPoint> pointer_position() = 0;

    // Windows of other programs, named on the command line.
    [[nodiscard]] virtual bool is_window(ForeignWindow window) = 0;
    [[nodiscard]] virtual std::optional<PixelRect> client_rect(ForeignWindow window) = 0;
    [[nodiscard]] virtual std::optional<PixelRect> window_rect(ForeignWindow window) = 0;
};

// The message box and the common dialogs, each modal over the program's
// active window.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual void message_box(const MessageBoxRequest& request) = 0;
    // The chosen colour, or nothing when the user cancelled.
    [[nodiscard]] virtual std::optional<Color> choose_color(const ColorDialogRequest& request) = 0;
    // The chosen file's full path, or nothing when the user cancelled.
    [[nodiscard]] virtual std::optional<std::string> open_file(const FileDialogRequest& request) = 0;
};

// Stores, clock, cursor, the process's place among other copies, help,
// pictures, and where failures of handlers are reported.
class SystemServices {
public:
    virtual ~SystemServices() = default;

    // --- stores
    [[nodiscard]] virtual ProfileFile& settings_file() = 0;
    [[nodiscard]] virtual UserStore& user_store() = 0;
    // The system registry, read-only; nullptr on platforms that have none.
    [[nodiscard]] virtual Registry* registry() = 0;
    // The desktop's screen-saver password flag where the platform keeps it
    // outside a registry (Linux: the desktop's lock setting); nothing where
    // it is a registry value, which the program reads itself, or where the
    // desktop says nothing.
    [[nodiscard]] virtual std::optional<bool> desktop_password_flag() = 0;

    // --- clocks and cursor
    // Seconds since midnight, with fraction.
    [[nodiscard]] virtual double time_of_day() = 0;
    // Seconds, with fraction, on a clock that only goes forward: it does not
    // wrap at midnight, nor jump when the system's time is set. Its zero is
    // any moment before the process started.
    [[nodiscard]] virtual double steady_seconds() = 0;
    // ShowCursor: adds one to the display counter (or takes one off) and
    // returns the new count; the cursor shows while the count is 0 or more.
    virtual int show_cursor(bool show) = 0;
    // Shows the cursor until the display counter is `at_least` or more.
    void show_cursor_until(int at_least) {
        while (show_cursor(true) < at_least) {
        }
    }
    // Hides the cursor until the display counter is `at_most` or less.
    void hide_cursor_until(int at_most) {
        while (show_cursor(false) > at_most) {
        }
    }

    // --- the process
    // True when another copy of the program is already running.
    [[nodiscard]] virtual bool previous_instance() = 0;
    // The command line without the program's name and the blanks after it.
    [[nodiscard]] virtual std::string command_line_arguments() = 0;

    // --- help and pictures
    // Opens the help file at its beginning.
    virtual void show_help(const std::string& help_file) = 0;
    [[nodiscard]] virtual PictureDecoder& picture_decoder() = 0;
    // The program's own 32 x 32 icon, shown inside its dialogs.
    [[nodiscard]] virtual Picture app_icon() = 0;
    // Where the spare picture lies on this platform ("c:\imgx.bmp" on Windows).
    [[nodiscard]] virtual std::string spare_picture_path() = 0;

    // --- failures
    // A handler threw and its event was dropped: tell whoever looks
    // (stderr, the debugger's output).
    virtual void report_failure(const std::string& what) = 0;
};

// How far the windows drive the display counter, so that a few unbalanced
// calls elsewhere cannot undo them: shown is a count of 6 or more, hidden
// one of -6 or less.
inline constexpr int kCursorShown = 6;
inline constexpr int kCursorHidden = -6;

// One platform: its three parts.
class Platform {
public:
    virtual ~Platform() = default;
    [[nodiscard]] virtual WindowSystem& windows() = 0;
    [[nodiscard]] virtual Dialogs& dialogs() = 0;
    [[nodiscard]] virtual SystemServices& services() = 0;
};

}  // namespace vellora::rt
