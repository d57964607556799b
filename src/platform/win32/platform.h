// The Win32 runtime: forms as real windows, controls as standard BUTTON,
// EDIT and STATIC windows, images and the drawing layer painted by the form,
// timers on the thread's message queue, pictures through OLE, the settings
// file through the private-profile functions and the stores in the registry.
//
// `Win32Platform` hands out the runtime's three parts: the window system
// (here, with the timers and the event loop), the dialogs (dialogs.h) and
// the system services (services.h).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/win32/handles.h"
#include "runtime/platform.h"

namespace vellora::win32 {

class FormWindow;
class Dialogs;
class Services;

// Window class names, for tests and the help viewer.
inline constexpr const char* kFormClass = "VelloraForm";
inline constexpr const char* kBoxClass = "VelloraPictureBox";
inline constexpr const char* kHelpClass = "VelloraHelp";
inline constexpr const char* kTimerClass = "VelloraTimers";
inline constexpr const char* kHelpTitle = "Vellora Help";
inline constexpr const char* kInstanceMutex = "Vellora.ScreenSaver.Running";

// A window handle given on the command line as a 32-bit number.
HWND window_from_number(rt::ForeignWindow number);

// Windows, timers, the event loop, the screen and other programs' windows.
class WindowSystem final : public rt::WindowSystem {
public:
    // `platform` is the one this part belongs to: failures of handlers are
    // reported through its services.
    WindowSystem(HINSTANCE instance, rt::Platform& platform);
    ~WindowSystem() override;
    WindowSystem(const WindowSystem&) = delete;
    WindowSystem& operator=(const WindowSystem&) = delete;

    // ---------------------------------------------------------- rt::WindowSystem
    std::unique_ptr<rt::NativeWindow> create_window(rt::Form& form) override;
    std::unique_ptr<rt::NativeTimer> create_timer(std::function<void()> tick) override;
    void run_until(const std::function<bool()>& done) override;
    rt::ScreenMetrics screen() override;
    std::optional<rt::PixelPoint> pointer_position() override;
    bool is_window(rt::ForeignWindow window) override;
    std::optional<rt::PixelRect> client_rect(rt::ForeignWindow window) override;
    std::optional<rt::PixelRect> window_rect(rt::ForeignWindow window) override;

    // ---------------------------------------------------------- for the peers, the other parts and tests
    [[nodiscard]] HINSTANCE instance() const { return instance_; }
    // Where a handler's failure is reported.
    [[nodiscard]] rt::SystemServices& services() const { return platform_.services(); }
    // Takes one message from the queue (waiting for it) and handles it;
    // false once the queue has been told to quit.
    bool pump_one();
    // Handles every message already waiting, without waiting for more.
    void pump_pending();
    // Key presses go to the form they were typed into.
    void dispatch(MSG& msg);
    [[nodiscard]] FormWindow* form_window_of(HWND hwnd) const;
    // "MS Sans Serif" 8.25 pt at the screen's resolution, made once.
    [[nodiscard]] HFONT font(bool bold);
    [[nodiscard]] float twips_per_pixel_x() const { return tppx_; }
    [[nodiscard]] float twips_per_pixel_y() const { return tppy_; }
    [[nodiscard]] int dpi_x() const { return dpi_x_; }
    [[nodiscard]] int dpi_y() const { return dpi_y_; }
    // The window that dialogs of the program belong to: the active one of ours.
    [[nodiscard]] HWND dialog_owner() const;
    void register_form_window(HWND hwnd, FormWindow* window);
    void unregister_form_window(HWND hwnd);
    // The screen's size or the system's metrics changed: ask the system again.
    void forget_screen() { screen_.reset(); }

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
    void tick(UINT_PTR id);
    bool route_key(FormWindow& window, const MSG& msg);

    HINSTANCE instance_;
    rt::Platform& platform_;
    int dpi_x_ = 96, dpi_y_ = 96;
    float tppx_ = 15.0F, tppy_ = 15.0F;
    HWND timer_window_ = nullptr;
    UINT_PTR next_timer_id_ = 1;
    std::map<UINT_PTR, std::shared_ptr<TimerSlot>> timers_;
    std::map<HWND, FormWindow*> forms_;
    struct ScreenSizes {
        SIZE primary{};
        std::optional<RECT> desktop;  // every monitor; nothing when the system does not say
    };
    std::optional<ScreenSizes> screen_;  // kept while a form window is there to hear of a change
    std::array<GdiObject<HFONT>, 2> fonts_;
};

// The platform: its three parts, made in order (the window system first)
// and gone in the reverse order, with OLE on the thread around them.
class Win32Platform final : public rt::Platform {
public:
    explicit Win32Platform(HINSTANCE instance = nullptr);
    ~Win32Platform() override;
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    rt::WindowSystem& windows() override;
    rt::Dialogs& dialogs() override;
    rt::SystemServices& services() override;

    // The parts as the Win32 classes they are (for tests).
    [[nodiscard]] WindowSystem& window_system() { return *windows_; }
    [[nodiscard]] Services& system_services();

private:
    OleSession ole_;
    std::unique_ptr<WindowSystem> windows_;
    std::unique_ptr<Services> services_;
    std::unique_ptr<Dialogs> dialogs_;
};

}  // namespace vellora::win32
