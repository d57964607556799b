// "e2e_host pane": a window with a pane for a preview, its handle and rect printed, until it is ended. "e2e_host
// windows": whether the pointer shows, then every visible top-level window with its children.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

// One line: class, text (its line breaks written as \r and \n), place, whether it shows, and one more fact.
void print(const char* what, HWND hwnd, const char* fact, bool value) {
    char text[1024] = {}, class_name[128] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    GetClassNameA(hwnd, class_name, sizeof class_name);
    std::string shown;
    for (const char* c = text; *c != '\0'; ++c) shown += *c == '\r' ? "\\r" : *c == '\n' ? "\\n" : std::string(1, *c);
    RECT r{};
    GetWindowRect(hwnd, &r);
    std::printf("%s class=%s text=\"%s\" rect=%ld,%ld,%ld,%ld visible=%d %s=%d\n", what, class_name, shown.c_str(),
                r.left, r.top, r.right, r.bottom, IsWindowVisible(hwnd) != FALSE ? 1 : 0, fact, value ? 1 : 0);
}

BOOL CALLBACK print_child(HWND child, LPARAM) {
    GUITHREADINFO info{};  // the keyboard focus in the foreground window's thread
    info.cbSize = sizeof info;
    print("  child", child, "focus", GetGUIThreadInfo(0, &info) != FALSE && info.hwndFocus == child);
    return TRUE;
}

BOOL CALLBACK print_window(HWND hwnd, LPARAM) {
    if (IsWindowVisible(hwnd) == FALSE) return TRUE;
    print("window", hwnd, "foreground", GetForegroundWindow() == hwnd);
    EnumChildWindows(hwnd, &print_child, 0);
    return TRUE;
}

int run_pane() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &DefWindowProcA;  // the test ends the program
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = "VelloraTestHost";
    RegisterClassA(&wc);
    HWND frame = CreateWindowExA(0, wc.lpszClassName, "Vellora Test Host", WS_POPUP | WS_VISIBLE | WS_BORDER, 300, 200,
                                 400, 300, nullptr, nullptr, wc.hInstance, nullptr);
    HWND pane = CreateWindowExA(0, wc.lpszClassName, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 100, 80, 152, 112,
                                frame, nullptr, wc.hInstance, nullptr);
    RECT r{};
    GetWindowRect(pane, &r);
    const auto handle = static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(pane));
    std::printf("pane %lu rect=%ld,%ld,%ld,%ld\n", handle, r.left, r.top, r.right, r.bottom);
    std::fflush(stdout);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "pane") return run_pane();
    CURSORINFO cursor{};  // "windows"
    cursor.cbSize = sizeof cursor;
    GetCursorInfo(&cursor);
    std::printf("cursor %s\n", (cursor.flags & CURSOR_SHOWING) != 0 ? "shown" : "hidden");
    return EnumWindows(&print_window, 0) != FALSE ? 0 : 1;
}
