// The Qt 6 runtime (Linux): the platform and its window system. Forms are
// QWidget windows (form_window.h) with Qt widgets for controls
// (controls.h); the event loop nests; the screen is the primary screen and
// the desktop all monitors together, or in hack mode the window the saver
// was given (hack_mode.h). The dialogs and the system services are parts
// of their own (dialogs.h, services.h).
#pragma once

#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/qt/dialogs.h"
#include "platform/qt/services.h"
#include "platform/qt/trace.h"
#include "platform/qt/x11_windows.h"
#include "runtime/platform.h"

class QObject;
class QScreen;
class QStyle;
class QWidget;
class QWindow;

namespace vellora::qt {

class FormWidget;
class HackHost;
class OutputViews;
class WaylandWatch;

class QtWindowSystem final : public rt::WindowSystem {
public:
    // `options`, `services` and `trace` outlive the window system.
    QtWindowSystem(const Options& options, rt::SystemServices& services, const Trace& trace);
    ~QtWindowSystem() override;
    QtWindowSystem(const QtWindowSystem&) = delete;
    QtWindowSystem& operator=(const QtWindowSystem&) = delete;

    // ---------------------------------------------------------- rt::WindowSystem
    std::unique_ptr<rt::NativeWindow> create_window(rt::Form& form) override;
    std::unique_ptr<rt::NativeTimer> create_timer(std::function<void()> tick) override;
    void run_until(const std::function<bool()>& done) override;
    rt::ScreenMetrics screen() override;
    std::optional<rt::PixelPoint> pointer_position() override;
    bool is_window(rt::ForeignWindow window) override;
    std::optional<rt::PixelRect> client_rect(rt::ForeignWindow window) override;
    std::optional<rt::PixelRect> window_rect(rt::ForeignWindow window) override;

    // ---------------------------------------------------------- for the windows, controls and timers
    // Where a handler's failure goes (the failure boundary).
    [[nodiscard]] rt::SystemServices& services() const { return services_; }
    [[nodiscard]] const Trace& trace() const { return trace_; }
    // The runtime's pixels are the screen's device pixels, as on a
    // DPI-aware Windows: at a scale of 2 (QT_SCALE_FACTOR, Xft.dpi 192, a
    // Wayland output's scale) a pixel is 7.5 twips and a picture of N
    // pixels is N device pixels wide. Qt's own coordinates (widgets, events)
    // are logical pixels, the device pixels divided by the primary screen's
    // device pixel ratio.
    [[nodiscard]] static double device_pixel_ratio();
    // Device dots per inch: the screen's logical DPI times its pixel ratio.
    [[nodiscard]] static double dpi();
    [[nodiscard]] static float twips_per_pixel_x();
    [[nodiscard]] static float twips_per_pixel_y();
    [[nodiscard]] static float logical_twips_per_pixel_x();
    [[nodiscard]] static float logical_twips_per_pixel_y();
    // The face a window is drawn in for its designed font at a device pixel
    // ratio: the designed MS Sans Serif is Wine's bitmap re-creation, right
    // at a ratio of 1 only; elsewhere a scalable face with its metrics.
    [[nodiscard]] static QString face_for(const std::string& designed, double device_pixel_ratio);
    // Hack mode: the host window the saver draws in, or nullptr.
    [[nodiscard]] bool hack_mode() const { return hack_ != nullptr; }
    [[nodiscard]] HackHost* hack_host() const { return hack_.get(); }
    // Widgets and timers whose owner is gone; deleted once no handler of
    // theirs can be on the stack (between events of the outermost loop).
    void bury(QObject* object);
    [[nodiscard]] QStyle* password_style();
    // Ends every loop at once (SIGTERM in hack mode, after the forms were asked to unload).
    void request_quit();
    [[nodiscard]] bool quit_requested() const { return quit_; }
    // Where a form's window goes, before it is first shown. On Wayland a
    // borderless form covers every output, one surface each (outputs.h),
    // and a window shown while it is up is a child of its primary surface,
    // which compositors keep above a full-screen window.
    void place(FormWidget& widget);
    // While a form covers the outputs (Wayland): the newest of the program's
    // windows shown above it, or nullptr. A window opening then is owned by
    // the newest surface other than its own.
    [[nodiscard]] QWidget* window_above(const QWidget& covering) const;
    [[nodiscard]] QWindow* newest_surface(const QWidget* opening) const;
    [[nodiscard]] bool covers_outputs() const;
    // Every shown form takes where the pointer is now as its reference for real movement.
    void take_pointer_reference();
    // Forms' windows as they are shown and destroyed.
    void window_shown(FormWidget* widget);
    void forget_window(FormWidget* widget);
    // Activates the most recently shown window of the program that is still there.
    void give_back_keyboard();
    [[nodiscard]] int loop_depth() const { return depth_; }
    // The primary screen's top-left corner in Qt's global coordinates: the
    // origin of every position the runtime gives or takes.
    [[nodiscard]] static QPoint origin();

private:
    void purge();
    [[nodiscard]] x11::Display& x11();
    // The whole desktop in Qt's global coordinates: every screen, and on an
    // X display the root window, which spans heads that Qt does not list
    // (Xinerama without RandR monitors).
    [[nodiscard]] QRect virtual_desktop();
    // Screens came, went or changed: the windows move to the new origin and
    // every form hears of it, once per burst of changes.
    void watch_screens();
    void watch_screen(QScreen* screen);
    void display_changed();

    rt::SystemServices& services_;
    const Trace& trace_;
    std::unique_ptr<HackHost> hack_;
    std::unique_ptr<x11::Display> x11_;
    std::vector<QPointer<QObject>> graveyard_;
    std::unique_ptr<QStyle> password_style_;
    std::vector<FormWidget*> shown_;
    std::map<const QWidget*, std::unique_ptr<OutputViews>> outputs_;  // borderless forms on Wayland
    std::unique_ptr<WaylandWatch> wayland_watch_;                      // on Wayland
    std::unique_ptr<QObject> screen_watch_;  // owns the connections to the screens' signals
    std::optional<QRect> desktop_;           // the virtual desktop as last seen
    bool display_change_pending_ = false;
    int depth_ = 0;
    bool quit_ = false;
};

class QtPlatform final : public rt::Platform {
public:
    explicit QtPlatform(Options options);
    ~QtPlatform() override;
    QtPlatform(const QtPlatform&) = delete;
    QtPlatform& operator=(const QtPlatform&) = delete;

    QtWindowSystem& windows() override { return windows_; }
    QtDialogs& dialogs() override { return dialogs_; }
    QtServices& services() override { return services_; }
    [[nodiscard]] const Options& options() const { return options_; }

private:
    Options options_;
    Trace trace_;
    QtServices services_;
    QtWindowSystem windows_;
    QtDialogs dialogs_;
};

}  // namespace vellora::qt
