#include "platform/win32/support.h"

#include <algorithm>
#include <stdexcept>

namespace vellora::win32::testing {

namespace {

std::function<void(HWND)>& pending_dialog_action() {
    static std::function<void(HWND)> action;  // one test thread, one dialog at a time
    return action;
}

BOOL CALLBACK find_dialog(HWND hwnd, LPARAM found) {
    char cls[32] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (std::string(cls) == "#32770" && IsWindowVisible(hwnd) != FALSE) {
        *reinterpret_cast<HWND*>(found) = hwnd;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK dialog_watch(HWND, UINT, UINT_PTR id, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &find_dialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog == nullptr) return;
    KillTimer(nullptr, id);
    auto action = std::move(pending_dialog_action());
    pending_dialog_action() = nullptr;
    if (action) action(dialog);
}

}  // namespace

FormWindow& native(const rt::Form& form) {
    auto* window = dynamic_cast<FormWindow*>(form.peer());
    if (window == nullptr) throw std::logic_error("the form has no window: " + form.name());
    return *window;
}

HWND hwnd_of(const rt::Control& control) {
    const auto& window = native(control.form());
    for (HWND child = GetWindow(window.hwnd(), GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (window.control_of(child) == &control) return child;
    }
    return nullptr;
}

std::string test_picture(const std::string& name) {
    const char* dir = std::getenv("VELLORA_TEST_PICTURES");
    return std::string(dir != nullptr ? dir : ".") + "\\" + name;
}

Capture::Capture(HWND hwnd) {
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT client{};
    GetClientRect(hwnd, &client);
    width_ = client.right;
    height_ = client.bottom;
    const WindowDc window_dc(hwnd);
    const MemoryDc memory(CreateCompatibleDC(window_dc.get()));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const GdiObject<HBITMAP> bitmap(CreateDIBSection(window_dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const Selection selected(memory.get(), bitmap.get());
    BitBlt(memory.get(), 0, 0, width_, height_, window_dc.get(), 0, 0, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const std::uint32_t*>(bits);
    pixels_.assign(p, p + static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_));
}

COLORREF Capture::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    const std::uint32_t v = pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                                    static_cast<std::size_t>(x)];
    return RGB((v >> 16U) & 0xFFU, (v >> 8U) & 0xFFU, v & 0xFFU);
}

void when_dialog_opens(std::function<void(HWND)> act) {
    pending_dialog_action() = std::move(act);
    SetTimer(nullptr, 0, 50, &dialog_watch);
}

void settle(Win32Platform& platform) {
    for (int i = 0; i < 3; ++i) {
        platform.window_system().pump_pending();
        Sleep(10);
    }
    platform.window_system().pump_pending();
}

namespace {

std::string& debug_output() {
    static std::string text;  // one test thread
    return text;
}

// OutputDebugStringA raises DBG_PRINTEXCEPTION_C with the text; the
// system handles it and goes on.
LONG CALLBACK collect_debug_output(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    if (record.ExceptionCode == DBG_PRINTEXCEPTION_C && record.NumberParameters >= 2) {
        debug_output() += reinterpret_cast<const char*>(record.ExceptionInformation[1]);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

DebugOutput::DebugOutput() : handler_(AddVectoredExceptionHandler(1, &collect_debug_output)) {
    debug_output().clear();
}

DebugOutput::~DebugOutput() { RemoveVectoredExceptionHandler(handler_); }

const std::string& DebugOutput::text() const { return debug_output(); }

}  // namespace vellora::win32::testing
