// A small Windows program for the end-to-end tests, run under Wine beside
// the saver:
//   e2e_host pane      a window with a pane for a preview; prints the pane's
//                      handle and place, then lives until it is ended
//   e2e_host windows   whether the pointer shows, then every visible
//                      top-level window with its children
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

std::string text_of(HWND hwnd) {
    char buffer[1024] = {};
    GetWindowTextA(hwnd, buffer, sizeof buffer);
    std::string out;  // line breaks written as \r and \n
    for (const char* c = buffer; *c != '\0'; ++c) out += *c == '\r' ? "\\r" : *c == '\n' ? "\\n" : std::string(1, *c);
    return out;
}

std::string class_of(HWND hwnd) {
    char buffer[128] = {};
    GetClassNameA(hwnd, buffer, sizeof buffer);
    return buffer;
}

void print(const char* what, HWND hwnd, const char* extra_name, int extra) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    std::printf("%s class=%s text=\"%s\" rect=%ld,%ld,%ld,%ld visible=%d %s=%d\n", what, class_of(hwnd).c_str(),
                text_of(hwnd).c_str(), r.left, r.top, r.right, r.bottom, IsWindowVisible(hwnd) != FALSE ? 1 : 0,
                extra_name, extra);
}

// The control with the keyboard focus in the foreground window's thread.
HWND focused() {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(0, &info) != FALSE ? info.hwndFocus : nullptr;
}

BOOL CALLBACK print_child(HWND child, LPARAM) {
    print("  child", child, "focus", child == focused() ? 1 : 0);
    return TRUE;
}

BOOL CALLBACK print_window(HWND hwnd, LPARAM) {
    if (IsWindowVisible(hwnd) == FALSE) return TRUE;
    print("window", hwnd, "foreground", GetForegroundWindow() == hwnd ? 1 : 0);
    EnumChildWindows(hwnd, &print_child, 0);
    return TRUE;
}

LRESULT CALLBACK host_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY && GetParent(hwnd) == nullptr) PostQuitMessage(0);
    return DefWindowProcA(hwnd, msg, wp, lp);
}

int run_pane() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &host_proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = "VelloraTestHost";
    RegisterClassA(&wc);
    HWND frame = CreateWindowExA(0, "VelloraTestHost", "Vellora Test Host", WS_POPUP | WS_VISIBLE | WS_BORDER, 300, 200,
                                 400, 300, nullptr, nullptr, wc.hInstance, nullptr);
    HWND pane = CreateWindowExA(0, "VelloraTestHost", "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 100, 80, 152, 112,
                                frame, nullptr, wc.hInstance, nullptr);
    RECT r{};
    GetWindowRect(pane, &r);
    std::printf("pane %lu at %ld %ld size %ld %ld\n",
                static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(pane)), r.left, r.top, r.right - r.left,
                r.bottom - r.top);
    std::fflush(stdout);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "pane") return run_pane();
    if (mode != "windows") {
        std::printf("usage: e2e_host pane | windows\n");
        return 2;
    }
    CURSORINFO cursor{};
    cursor.cbSize = sizeof cursor;
    GetCursorInfo(&cursor);
    std::printf("cursor %s\n", (cursor.flags & CURSOR_SHOWING) != 0 ? "shown" : "hidden");
    return EnumWindows(&print_window, 0) != FALSE ? 0 : 1;
}
