#include "platform/win32/win32_platform.h"

#include <algorithm>
#include <cmath>

#include "platform/win32/win32_forms.h"

namespace vellora::win32 {

WNDPROC picture_box_proc();  // win32_forms.cpp

namespace {

std::string module_directory(HINSTANCE instance) {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = GetModuleFileNameA(instance, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string windows_directory() {
    char dir[MAX_PATH + 1] = {};
    const UINT n = GetWindowsDirectoryA(dir, MAX_PATH);
    if (n == 0 || n > MAX_PATH) return {};
    std::string out(dir, n);
    if (!out.empty() && out.back() != '\\') out += '\\';
    return out;
}

std::string current_directory() {
    char dir[MAX_PATH + 1] = {};
    const DWORD n = GetCurrentDirectoryA(MAX_PATH, dir);
    if (n == 0 || n > MAX_PATH) return {};
    std::string out(dir, n);
    if (!out.empty() && out.back() != '\\') out += '\\';
    return out;
}

std::optional<std::string> read_whole_file(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string text;
    char chunk[8192];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) != FALSE && got > 0) text.append(chunk, got);
    CloseHandle(file);
    return text;
}

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

}  // namespace

// ------------------------------------------------------------------ text helpers

std::string arguments_after_program_name(std::string_view command_line) {
    std::size_t i = 0;
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (i < command_line.size() && blank(command_line[i])) ++i;
    if (i < command_line.size() && command_line[i] == '"') {
        // A quoted name ends at its closing quote.
        ++i;
        while (i < command_line.size() && command_line[i] != '"') ++i;
        if (i < command_line.size()) ++i;
    } else {
        while (i < command_line.size() && !blank(command_line[i])) ++i;
    }
    while (i < command_line.size() && blank(command_line[i])) ++i;
    return std::string(command_line.substr(i));
}

std::string filter_for_dialog(const std::string& filter) {
    std::string out;
    for (const auto& entry : rt::split_filter(filter)) {
        out += entry.description;
        out += '\0';
        out += entry.pattern;
        out += '\0';
    }
    out += '\0';
    if (out.size() == 1) out += '\0';
    return out;
}

std::vector<std::string> help_file_candidates(const std::string& help_file) {
    if (help_file.find_first_of("\\/:") != std::string::npos) return {help_file};
    std::vector<std::string> out;
    for (const auto& dir : {module_directory(nullptr), current_directory(), windows_directory()}) {
        if (dir.empty()) continue;
        auto candidate = dir + help_file;
        if (std::find(out.begin(), out.end(), candidate) == out.end()) out.push_back(std::move(candidate));
    }
    return out;
}

std::string with_crlf_line_breaks(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

HKEY registry_root(std::uint32_t root) {
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<std::int32_t>(root)));
}

HWND window_from_number(rt::ForeignWindow number) {
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<std::int32_t>(number)));
}

// ------------------------------------------------------------------ help viewer

// The help file is plain text, shown in a read-only multi-line EDIT in a
// top-level window of its own, from its beginning.
class HelpViewer {
public:
    explicit HelpViewer(Win32Platform& platform) : platform_(platform) {}
    ~HelpViewer() {
        if (hwnd_ != nullptr && IsWindow(hwnd_) != FALSE) {
            SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
            DestroyWindow(hwnd_);
        }
    }
    HelpViewer(const HelpViewer&) = delete;
    HelpViewer& operator=(const HelpViewer&) = delete;

    void open(const std::string& help_file) {
        if (hwnd_ == nullptr || IsWindow(hwnd_) == FALSE) create();
        if (hwnd_ == nullptr) return;
        SetWindowTextA(edit_, with_crlf_line_breaks(load(help_file)).c_str());
        SendMessageA(edit_, EM_SETSEL, 0, 0);
        SendMessageA(edit_, EM_SCROLLCARET, 0, 0);
        ShowWindow(hwnd_, SW_SHOWNORMAL);
        SetForegroundWindow(hwnd_);
        SetFocus(edit_);
    }
    [[nodiscard]] HWND hwnd() const { return hwnd_ != nullptr && IsWindow(hwnd_) != FALSE ? hwnd_ : nullptr; }

    static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_NCCREATE) {
            SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTA*>(lp)->lpCreateParams));
        }
        auto* self = reinterpret_cast<HelpViewer*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (self != nullptr) {
            switch (msg) {
                case WM_SIZE:
                    if (self->edit_ != nullptr) MoveWindow(self->edit_, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
                    return 0;
                case WM_SETFOCUS:
                    if (self->edit_ != nullptr) SetFocus(self->edit_);
                    return 0;
                case WM_NCDESTROY:
                    self->hwnd_ = nullptr;
                    self->edit_ = nullptr;
                    break;
                default:
                    break;
            }
        }
        return DefWindowProcA(hwnd, msg, wp, lp);
    }

private:
    void create() {
        const int w = 560;
        const int h = 440;
        const int x = std::max(0, (GetSystemMetrics(SM_CXSCREEN) - w) / 2);
        const int y = std::max(0, (GetSystemMetrics(SM_CYSCREEN) - h) / 2);
        // Top-most, so that it is not hidden behind the top-most setup dialog.
        hwnd_ = CreateWindowExA(WS_EX_TOPMOST, kHelpClass, kHelpTitle, WS_OVERLAPPEDWINDOW, x, y, w, h, nullptr, nullptr,
                                platform_.instance(), this);
        if (hwnd_ == nullptr) return;
        RECT client{};
        GetClientRect(hwnd_, &client);
        edit_ = CreateWindowExA(0, "EDIT", "",
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0, 0,
                                client.right, client.bottom, hwnd_, nullptr, platform_.instance(), nullptr);
        SendMessageA(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(platform_.font(false)), FALSE);
        SendMessageA(edit_, EM_SETLIMITTEXT, 0, 0);
    }
    static std::string load(const std::string& help_file) {
        const auto candidates = help_file_candidates(help_file);
        for (const auto& path : candidates) {
            if (auto text = read_whole_file(path)) return *text;
        }
        std::string text = "The help file \"" + help_file + "\" could not be found.\n\nLooked for it here:\n";
        for (const auto& path : candidates) text += "    " + path + "\n";
        return text;
    }
    Win32Platform& platform_;
    HWND hwnd_ = nullptr;
    HWND edit_ = nullptr;
};

// ------------------------------------------------------------------ timers

namespace {

class Win32Timer final : public rt::NativeTimer {
public:
    Win32Timer(Win32Platform& platform, std::function<void()> tick)
        : platform_(platform), slot_(std::make_shared<Win32Platform::TimerSlot>()) {
        slot_->tick = std::move(tick);
    }
    ~Win32Timer() override { platform_.drop_timer(*slot_); }
    Win32Timer(const Win32Timer&) = delete;
    Win32Timer& operator=(const Win32Timer&) = delete;
    void start(int interval_ms) override { platform_.start_timer(slot_, interval_ms); }
    void stop() override { platform_.stop_timer(*slot_); }

private:
    Win32Platform& platform_;
    std::shared_ptr<Win32Platform::TimerSlot> slot_;
};

}  // namespace

void Win32Platform::start_timer(const std::shared_ptr<TimerSlot>& slot, int interval_ms) {
    if (slot->id == 0) {
        slot->id = next_timer_id_++;
        timers_[slot->id] = slot;
    }
    // Setting an existing timer again restarts its interval from now.
    SetTimer(timer_window_, slot->id, static_cast<UINT>(std::max(interval_ms, USER_TIMER_MINIMUM)), nullptr);
    slot->running = true;
}

void Win32Platform::stop_timer(TimerSlot& slot) {
    if (slot.id != 0 && slot.running) KillTimer(timer_window_, slot.id);
    slot.running = false;
}

void Win32Platform::drop_timer(TimerSlot& slot) {
    stop_timer(slot);
    if (slot.id != 0) timers_.erase(slot.id);
    slot.id = 0;
}

LRESULT CALLBACK Win32Platform::timer_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTA*>(lp)->lpCreateParams));
    }
    if (msg == WM_TIMER) {
        auto* self = reinterpret_cast<Win32Platform*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (self != nullptr) {
            auto it = self->timers_.find(static_cast<UINT_PTR>(wp));
            if (it != self->timers_.end() && it->second->running) {
                auto keep = it->second;  // the tick may destroy its own timer
                try {
                    keep->tick();
                } catch (const std::exception& e) {
                    OutputDebugStringA(e.what());  // as for window messages: the tick is dropped
                }
            }
        }
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

// ------------------------------------------------------------------ platform

Win32Platform::Win32Platform(HINSTANCE instance)
    : instance_(instance != nullptr ? instance : GetModuleHandleA(nullptr)), help_(std::make_unique<HelpViewer>(*this)) {
    ole_ = SUCCEEDED(OleInitialize(nullptr));
    HDC screen = GetDC(nullptr);
    dpi_x_ = std::max(1, GetDeviceCaps(screen, LOGPIXELSX));
    dpi_y_ = std::max(1, GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
    tppx_ = 1440.0F / static_cast<float>(dpi_x_);
    tppy_ = 1440.0F / static_cast<float>(dpi_y_);

    register_class(instance_, kFormClass, &FormWindow::window_proc, CS_DBLCLKS, nullptr);
    register_class(instance_, kBoxClass, picture_box_proc(), 0, nullptr);
    register_class(instance_, kHelpClass, &HelpViewer::proc, 0, GetSysColorBrush(COLOR_WINDOW));
    register_class(instance_, "VelloraTimers", &Win32Platform::timer_proc, 0, nullptr);
    timer_window_ = CreateWindowExA(0, "VelloraTimers", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance_, this);
}

Win32Platform::~Win32Platform() {
    help_.reset();
    for (auto& [id, slot] : timers_) {
        if (slot->running) KillTimer(timer_window_, id);
        slot->id = 0;
        slot->running = false;
    }
    timers_.clear();
    if (timer_window_ != nullptr) DestroyWindow(timer_window_);
    for (HFONT f : fonts_) {
        if (f != nullptr) DeleteObject(f);
    }
    icon_.reset();
    if (instance_mutex_ != nullptr) CloseHandle(instance_mutex_);
    if (ole_) OleUninitialize();
}

std::unique_ptr<rt::NativeWindow> Win32Platform::create_window(rt::Form& form) {
    return std::make_unique<FormWindow>(*this, form);
}

std::unique_ptr<rt::NativeTimer> Win32Platform::create_timer(std::function<void()> tick) {
    return std::make_unique<Win32Timer>(*this, std::move(tick));
}

void Win32Platform::register_form_window(HWND hwnd, FormWindow* window) {
    forms_[hwnd] = window;
    screen_size_.reset();
}
void Win32Platform::unregister_form_window(HWND hwnd) {
    forms_.erase(hwnd);
    screen_size_.reset();
}

FormWindow* Win32Platform::form_window_of(HWND hwnd) const {
    for (HWND h = hwnd; h != nullptr; h = GetParent(h)) {
        auto it = forms_.find(h);
        if (it != forms_.end()) return it->second;
        if ((GetWindowLongPtrA(h, GWL_STYLE) & WS_CHILD) == 0) break;
    }
    return nullptr;
}

HFONT Win32Platform::font(bool bold) {
    auto& f = fonts_[bold ? 1 : 0];
    if (f == nullptr) {
        // "MS Sans Serif" 8.25 pt at the screen's resolution.
        const int height = -static_cast<int>(std::lround(8.25 * dpi_y_ / 72.0));
        f = CreateFontA(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "MS Sans Serif");
    }
    return f;
}

HWND Win32Platform::help_window() const { return help_ ? help_->hwnd() : nullptr; }

HWND Win32Platform::dialog_owner() const {
    HWND active = GetActiveWindow();
    if (active != nullptr && form_window_of(active) != nullptr) return active;
    return nullptr;
}

bool Win32Platform::route_key(FormWindow& window, const MSG& msg) {
    const auto key = static_cast<std::int16_t>(msg.wParam);
    std::int16_t shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) shift |= rt::shift::Shift;
    if (GetKeyState(VK_CONTROL) < 0) shift |= rt::shift::Ctrl;
    if (msg.message == WM_SYSKEYDOWN || GetKeyState(VK_MENU) < 0) shift |= rt::shift::Alt;
    rt::Form& form = window.form();
    if (msg.message == WM_SYSKEYDOWN) {
        // Alt+letter: access keys of the form's buttons, labels and menu.
        // Other system keys (Alt+F4, Alt alone) keep their usual meaning.
        if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) {
            form.deliver_key_down(key, shift);
            return true;
        }
        return false;
    }
    HWND focus = GetFocus();
    const rt::Control* focused = focus != nullptr ? window.control_of(focus) : nullptr;
    const bool in_text_box = focused != nullptr && focused->kind() == rt::ControlKind::TextBox;
    switch (key) {
        case VK_TAB:
        case VK_RETURN:
        case VK_ESCAPE:
        case VK_F1:
            form.deliver_key_down(key, shift);
            return true;
        default:
            break;
    }
    // Editing keys belong to the text box that has the focus.
    if (in_text_box) return false;
    form.deliver_key_down(key, shift);
    return true;
}

void Win32Platform::dispatch(MSG& msg) {
    if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
        if (FormWindow* window = form_window_of(msg.hwnd); window != nullptr) {
            try {
                if (route_key(*window, msg)) return;
            } catch (const std::exception& e) {
                OutputDebugStringA(e.what());  // the key is dropped, the program goes on
                return;
            }
        }
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

bool Win32Platform::pump_one() {
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

void Win32Platform::pump_pending() {
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        dispatch(msg);
    }
}

void Win32Platform::run_until(const std::function<bool()>& done) {
    while (!done()) {
        if (!pump_one()) return;
    }
}

void Win32Platform::send_key(rt::Form* active, std::int16_t key, std::int16_t shift_state) {
    // Handled before the call returns; handlers it starts run nested here.
    if (active != nullptr) active->deliver_key_down(key, shift_state);
}

rt::ScreenMetrics Win32Platform::screen() {
    // The saver asks several times a tick, and each question is a trip to
    // the window server under Wine: the answer is kept while one of our
    // top-level windows is there to hear of a change of the display.
    if (!screen_size_ || forms_.empty()) {
        screen_size_ = SIZE{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    rt::ScreenMetrics m;
    m.width_px = screen_size_->cx;
    m.height_px = screen_size_->cy;
    m.twips_per_pixel_x = tppx_;
    m.twips_per_pixel_y = tppy_;
    return m;
}

int Win32Platform::show_cursor(bool show) { return ShowCursor(show ? TRUE : FALSE); }

double Win32Platform::time_of_day() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return t.wHour * 3600.0 + t.wMinute * 60.0 + t.wSecond + t.wMilliseconds / 1000.0;
}

void Win32Platform::message_box(const rt::MessageBoxRequest& request) {
    const UINT icon = request.icon == rt::MessageIcon::Stop ? MB_ICONSTOP : 0U;
    MessageBoxA(dialog_owner(), request.text.c_str(), request.title.c_str(), icon | MB_OK);
}

std::optional<rt::Color> Win32Platform::choose_color(const rt::ColorDialogRequest& request) {
    CHOOSECOLORA cc{};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = dialog_owner();
    cc.rgbResult = static_cast<COLORREF>(request.initial & 0xFFFFFFU);
    cc.lpCustColors = custom_colors_.data();
    cc.Flags = request.flags;
    if (ChooseColorA(&cc) == FALSE) return std::nullopt;
    return static_cast<rt::Color>(cc.rgbResult & 0xFFFFFFU);
}

std::optional<std::string> Win32Platform::open_file(const rt::FileDialogRequest& request) {
    const std::string filter = filter_for_dialog(request.filter);
    std::vector<char> name(std::max<std::size_t>(32768, request.file_name.size() + 1), '\0');
    std::copy(request.file_name.begin(), request.file_name.end(), name.begin());
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = dialog_owner();
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = static_cast<DWORD>(std::max(request.filter_index, 0));
    ofn.lpstrFile = name.data();
    ofn.nMaxFile = static_cast<DWORD>(name.size());
    ofn.Flags = request.flags;
    if (GetOpenFileNameA(&ofn) == FALSE) return std::nullopt;
    return std::string(name.data());
}

void Win32Platform::show_help(const std::string& help_file) { help_->open(help_file); }

bool Win32Platform::is_window(rt::ForeignWindow window) {
    return window != 0 && IsWindow(window_from_number(window)) != FALSE;
}

std::optional<rt::PixelRect> Win32Platform::client_rect(rt::ForeignWindow window) {
    RECT r{};
    if (!is_window(window) || GetClientRect(window_from_number(window), &r) == FALSE) return std::nullopt;
    return rt::PixelRect{r.left, r.top, r.right, r.bottom};
}

std::optional<rt::PixelRect> Win32Platform::window_rect(rt::ForeignWindow window) {
    RECT r{};
    if (!is_window(window) || GetWindowRect(window_from_number(window), &r) == FALSE) return std::nullopt;
    return rt::PixelRect{r.left, r.top, r.right, r.bottom};
}

bool Win32Platform::previous_instance() {
    if (instance_mutex_ == nullptr) {
        instance_mutex_ = CreateMutexA(nullptr, FALSE, kInstanceMutex);
        const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
        if (existed && instance_mutex_ != nullptr) {
            CloseHandle(instance_mutex_);
            instance_mutex_ = nullptr;
        }
        return existed;
    }
    return false;  // this process holds the name
}

std::string Win32Platform::command_line_arguments() {
    const char* line = GetCommandLineA();
    return arguments_after_program_name(line != nullptr ? line : "");
}

rt::Picture Win32Platform::app_icon() {
    if (!icon_) {
        auto icon = static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(1), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
        icon_ = icon != nullptr ? picture_from_icon(icon, true)
                                : picture_from_icon(LoadIconA(nullptr, MAKEINTRESOURCEA(32512)), false);
    }
    return icon_;
}

}  // namespace vellora::win32
