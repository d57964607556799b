#include "platform/win32/platform.h"

#include <algorithm>
#include <cmath>

#include "platform/win32/controls.h"
#include "platform/win32/dialogs.h"
#include "platform/win32/form_window.h"
#include "platform/win32/help.h"
#include "platform/win32/keys.h"
#include "platform/win32/services.h"
#include "runtime/failure.h"
#include "runtime/form.h"
#include "runtime/keys.h"

namespace vellora::win32 {

namespace {

void register_class(HINSTANCE instance, const char* name, WNDPROC proc, UINT style, HBRUSH background) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // the arrow
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    RegisterClassExA(&wc);
}

class Win32Timer final : public rt::NativeTimer {
public:
    Win32Timer(WindowSystem& system, std::function<void()> tick)
        : system_(system), slot_(std::make_shared<WindowSystem::TimerSlot>()) {
        slot_->tick = std::move(tick);
    }
    ~Win32Timer() override { system_.drop_timer(*slot_); }
    Win32Timer(const Win32Timer&) = delete;
    Win32Timer& operator=(const Win32Timer&) = delete;
    void start(int interval_ms) override { system_.start_timer(slot_, interval_ms); }
    void stop() override { system_.stop_timer(*slot_); }

private:
    WindowSystem& system_;
    std::shared_ptr<WindowSystem::TimerSlot> slot_;
};

}  // namespace

HWND window_from_number(rt::ForeignWindow number) {
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<std::int32_t>(number)));
}

// ------------------------------------------------------------------ the window system

WindowSystem::WindowSystem(HINSTANCE instance, rt::Platform& platform) : instance_(instance), platform_(platform) {
    {
        const WindowDc screen(nullptr);
        dpi_x_ = std::max(1, GetDeviceCaps(screen.get(), LOGPIXELSX));
        dpi_y_ = std::max(1, GetDeviceCaps(screen.get(), LOGPIXELSY));
    }
    tppx_ = 1440.0F / static_cast<float>(dpi_x_);
    tppy_ = 1440.0F / static_cast<float>(dpi_y_);

    register_class(instance_, kFormClass, &FormWindow::window_proc, CS_DBLCLKS, nullptr);
    register_class(instance_, kBoxClass, &PictureBoxPeer::window_proc, 0, nullptr);
    register_class(instance_, kHelpClass, &HelpViewer::window_proc, 0, GetSysColorBrush(COLOR_WINDOW));
    register_class(instance_, kTimerClass, &WindowSystem::timer_proc, 0, nullptr);
    timer_window_ = CreateWindowExA(0, kTimerClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance_, this);
}

WindowSystem::~WindowSystem() {
    for (auto& [id, slot] : timers_) {
        if (slot->running) KillTimer(timer_window_, id);
        slot->id = 0;
        slot->running = false;
    }
    timers_.clear();
    if (timer_window_ != nullptr) DestroyWindow(timer_window_);
}

std::unique_ptr<rt::NativeWindow> WindowSystem::create_window(rt::Form& form) {
    return std::make_unique<FormWindow>(*this, form);
}

std::unique_ptr<rt::NativeTimer> WindowSystem::create_timer(std::function<void()> tick) {
    return std::make_unique<Win32Timer>(*this, std::move(tick));
}

// ------------------------------------------------------------------ timers

void WindowSystem::start_timer(const std::shared_ptr<TimerSlot>& slot, int interval_ms) {
    if (slot->id == 0) {
        slot->id = next_timer_id_++;
        timers_[slot->id] = slot;
    }
    // Setting an existing timer again restarts its interval from now.
    SetTimer(timer_window_, slot->id, static_cast<UINT>(std::max(interval_ms, USER_TIMER_MINIMUM)), nullptr);
    slot->running = true;
}

void WindowSystem::stop_timer(TimerSlot& slot) {
    if (slot.id != 0 && slot.running) KillTimer(timer_window_, slot.id);
    slot.running = false;
}

void WindowSystem::drop_timer(TimerSlot& slot) {
    stop_timer(slot);
    if (slot.id != 0) timers_.erase(slot.id);
    slot.id = 0;
}

void WindowSystem::tick(UINT_PTR id) {
    auto it = timers_.find(id);
    if (it == timers_.end() || !it->second->running) return;
    const auto keep = it->second;  // the tick may destroy its own timer
    keep->tick();
}

LRESULT CALLBACK WindowSystem::timer_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTA*>(lp)->lpCreateParams));
    }
    if (msg == WM_TIMER) {
        auto* self = reinterpret_cast<WindowSystem*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (self != nullptr) rt::guarded(self->services(), [&] { self->tick(static_cast<UINT_PTR>(wp)); });
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

// ------------------------------------------------------------------ forms, fonts

void WindowSystem::register_form_window(HWND hwnd, FormWindow* window) {
    forms_[hwnd] = window;
    screen_.reset();
}

void WindowSystem::unregister_form_window(HWND hwnd) {
    forms_.erase(hwnd);
    screen_.reset();
}

FormWindow* WindowSystem::form_window_of(HWND hwnd) const {
    for (HWND h = hwnd; h != nullptr; h = GetParent(h)) {
        auto it = forms_.find(h);
        if (it != forms_.end()) return it->second;
        if ((GetWindowLongPtrA(h, GWL_STYLE) & WS_CHILD) == 0) break;
    }
    return nullptr;
}

HFONT WindowSystem::font(bool bold) {
    auto& f = fonts_[bold ? 1 : 0];
    if (!f) {
        const int height = -static_cast<int>(std::lround(8.25 * dpi_y_ / 72.0));
        f.reset(CreateFontA(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS,
                            "MS Sans Serif"));
    }
    return f.get();
}

HWND WindowSystem::dialog_owner() const {
    HWND active = GetActiveWindow();
    if (active != nullptr && form_window_of(active) != nullptr) return active;
    return nullptr;
}

// ------------------------------------------------------------------ the event loop

bool WindowSystem::route_key(FormWindow& window, const MSG& msg) {
    const KeyPress press = key_press(msg);
    HWND focus = GetFocus();
    const rt::Control* focused = focus != nullptr ? window.control_of(focus) : nullptr;
    const bool in_text_box = focused != nullptr && focused->kind() == rt::ControlKind::TextBox;
    if (msg.message == WM_SYSKEYDOWN && !rt::form_key(press.key, press.routing_shift)) {
        // Alt+F4 stays the system's close command (it reaches the form as
        // WM_CLOSE); in a dialog with a focused control the other system
        // keys keep their meaning too (Alt+Space, F10). A window without
        // controls, the saver, takes them as keys.
        if (press.key == VK_F4 || window.form().ActiveControl() != nullptr) return false;
    }
    // Editing keys belong to the text box that has the focus.
    if (!rt::form_takes_key(press.key, press.routing_shift, in_text_box)) return false;
    window.form().deliver_key_down(press.key, press.shift);
    return true;
}

void WindowSystem::dispatch(MSG& msg) {
    if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
        if (FormWindow* window = form_window_of(msg.hwnd); window != nullptr) {
            bool taken = false;
            // A key whose handler failed is dropped.
            if (!rt::guarded(services(), [&] { taken = route_key(*window, msg); }) || taken) return;
        }
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

bool WindowSystem::pump_one() {
    MSG msg{};
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
        // Leave the quit request for the loops further out.
        PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
    }
    if (got == -1) return false;
    dispatch(msg);
    return true;
}

void WindowSystem::pump_pending() {
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        dispatch(msg);
    }
}

void WindowSystem::run_until(const std::function<bool()>& done) {
    while (!done()) {
        if (!pump_one()) return;
    }
}

// ------------------------------------------------------------------ the screen, other programs' windows

std::optional<rt::PixelPoint> WindowSystem::pointer_position() {
    POINT at{};
    if (GetCursorPos(&at) == FALSE) return std::nullopt;
    return rt::PixelPoint{at.x, at.y};
}

rt::ScreenMetrics WindowSystem::screen() {
    // The saver asks several times a tick, and each question is a trip to
    // the window server under Wine: the answer is kept while one of our
    // top-level windows is there to hear of a change of the display.
    if (!screen_ || forms_.empty()) {
        ScreenSizes sizes;
        sizes.primary = SIZE{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        // Every monitor together, in the primary monitor's coordinates
        // (its top-left corner is 0,0; a monitor to its left lies below 0).
        const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
        const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
        if (width > 0 && height > 0) {
            const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
            const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
            sizes.desktop = RECT{left, top, left + width, top + height};
        }
        screen_ = sizes;
    }
    rt::ScreenMetrics m;
    m.width_px = screen_->primary.cx;
    m.height_px = screen_->primary.cy;
    m.twips_per_pixel_x = tppx_;
    m.twips_per_pixel_y = tppy_;
    if (screen_->desktop) {
        const RECT& d = *screen_->desktop;
        m.desktop_px = rt::PixelRect{d.left, d.top, d.right, d.bottom};
    }
    return m;
}

bool WindowSystem::is_window(rt::ForeignWindow window) {
    return window != 0 && IsWindow(window_from_number(window)) != FALSE;
}

std::optional<rt::PixelRect> WindowSystem::client_rect(rt::ForeignWindow window) {
    RECT r{};
    if (!is_window(window) || GetClientRect(window_from_number(window), &r) == FALSE) return std::nullopt;
    return rt::PixelRect{r.left, r.top, r.right, r.bottom};
}

std::optional<rt::PixelRect> WindowSystem::window_rect(rt::ForeignWindow window) {
    RECT r{};
    if (!is_window(window) || GetWindowRect(window_from_number(window), &r) == FALSE) return std::nullopt;
    return rt::PixelRect{r.left, r.top, r.right, r.bottom};
}

// ------------------------------------------------------------------ the platform

Win32Platform::Win32Platform(HINSTANCE instance)
    : windows_(std::make_unique<WindowSystem>(instance != nullptr ? instance : GetModuleHandleA(nullptr), *this)),
      services_(std::make_unique<Services>(*windows_)),
      dialogs_(std::make_unique<Dialogs>(*windows_)) {}

Win32Platform::~Win32Platform() = default;

rt::WindowSystem& Win32Platform::windows() { return *windows_; }
rt::Dialogs& Win32Platform::dialogs() { return *dialogs_; }
rt::SystemServices& Win32Platform::services() { return *services_; }
Services& Win32Platform::system_services() { return *services_; }

}  // namespace vellora::win32
