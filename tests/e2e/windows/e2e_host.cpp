// A small Windows program for the end-to-end tests, run under Wine beside
// the saver:
//   e2e_host pane SCR DESTROY_AFTER_MS   a window with a preview pane; starts
//       "SCR /P <pane>", reports what lives in the pane, destroys the pane
//       after DESTROY_AFTER_MS and reports how long the saver took to end
//   e2e_host windows    every visible top-level window with its children
//   e2e_host cursor     whether the cursor of the active window shows
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string text_of(HWND hwnd) {
    char buffer[1024] = {};
    GetWindowTextA(hwnd, buffer, sizeof buffer);
    std::string s(buffer);
    std::string out;
    for (char c : s) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string class_of(HWND hwnd) {
    char buffer[128] = {};
    GetClassNameA(hwnd, buffer, sizeof buffer);
    return buffer;
}

BOOL CALLBACK print_child(HWND child, LPARAM) {
    RECT r{};
    GetWindowRect(child, &r);
    const auto style = static_cast<unsigned long>(GetWindowLongPtrA(child, GWL_STYLE));
    std::printf("  child class=%s text=\"%s\" rect=%ld,%ld,%ld,%ld visible=%d enabled=%d password=%d\n",
                class_of(child).c_str(), text_of(child).c_str(), r.left, r.top, r.right, r.bottom,
                (style & WS_VISIBLE) != 0 ? 1 : 0, IsWindowEnabled(child) != FALSE ? 1 : 0,
                static_cast<int>(SendMessageA(child, EM_GETPASSWORDCHAR, 0, 0)));
    return TRUE;
}

BOOL CALLBACK print_window(HWND hwnd, LPARAM) {
    if (IsWindowVisible(hwnd) == FALSE) return TRUE;
    RECT r{};
    GetWindowRect(hwnd, &r);
    const auto ex = static_cast<unsigned long>(GetWindowLongPtrA(hwnd, GWL_EXSTYLE));
    std::printf("window class=%s title=\"%s\" rect=%ld,%ld,%ld,%ld topmost=%d enabled=%d foreground=%d\n",
                class_of(hwnd).c_str(), text_of(hwnd).c_str(), r.left, r.top, r.right, r.bottom,
                (ex & WS_EX_TOPMOST) != 0 ? 1 : 0, IsWindowEnabled(hwnd) != FALSE ? 1 : 0,
                GetForegroundWindow() == hwnd ? 1 : 0);
    EnumChildWindows(hwnd, &print_child, 0);
    return TRUE;
}

LRESULT CALLBACK host_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY && GetParent(hwnd) == nullptr) PostQuitMessage(0);
    return DefWindowProcA(hwnd, msg, wp, lp);
}

void pump_for(DWORD ms) {
    const DWORD end = GetTickCount() + ms;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

int run_pane(const char* scr, DWORD destroy_after) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &host_proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = "VelloraTestHost";
    RegisterClassA(&wc);
    HWND frame = CreateWindowExA(0, "VelloraTestHost", "Vellora Test Host", WS_POPUP | WS_VISIBLE | WS_BORDER | WS_CLIPCHILDREN, 300, 200,
                                 400, 300, nullptr, nullptr, wc.hInstance, nullptr);
    HWND pane = CreateWindowExA(0, "VelloraTestHost", "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 100, 80, 152, 112, frame, nullptr,
                                wc.hInstance, nullptr);
    pump_for(300);
    RECT client{};
    GetClientRect(pane, &client);
    POINT origin{0, 0};
    ClientToScreen(pane, &origin);
    std::printf("pane %lu at %ld,%ld size %ld,%ld\n", static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(pane)),
                origin.x, origin.y, client.right, client.bottom);

    std::string command = std::string("\"") + scr + "\" /P " +
                          std::to_string(static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(pane)));
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) == FALSE) {
        std::printf("cannot start %s\n", command.c_str());
        return 2;
    }
    std::fflush(stdout);
    pump_for(destroy_after);

    HWND child = GetWindow(pane, GW_CHILD);
    if (child != nullptr) {
        RECT r{};
        GetWindowRect(child, &r);
        DWORD owner = 0;
        GetWindowThreadProcessId(child, &owner);
        std::printf("child at %ld,%ld size %ld,%ld of saver %d\n", r.left, r.top, r.right - r.left, r.bottom - r.top,
                    owner == pi.dwProcessId ? 1 : 0);
    } else {
        std::printf("no child in the pane\n");
    }
    DWORD still = WaitForSingleObject(pi.hProcess, 0);
    std::printf("saver running before the pane went: %d\n", still == WAIT_TIMEOUT ? 1 : 0);
    std::fflush(stdout);

    const DWORD start = GetTickCount();
    DestroyWindow(pane);
    DWORD waited = 0;
    while (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT && waited < 5000) {
        pump_for(10);
        waited = GetTickCount() - start;
    }
    const bool ended = WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0;
    std::printf("saver ended after pane destroyed: %d in %lu ms\n", ended ? 1 : 0, static_cast<unsigned long>(waited));
    if (!ended) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    DestroyWindow(frame);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "pane" && argc > 3) return run_pane(argv[2], static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)));
    if (mode == "windows") {
        EnumWindows(&print_window, 0);
        return 0;
    }
    if (mode == "cursor") {
        CURSORINFO info{};
        info.cbSize = sizeof info;
        GetCursorInfo(&info);
        std::printf("cursor %s\n", (info.flags & CURSOR_SHOWING) != 0 ? "shown" : "hidden");
        return 0;
    }
    std::printf("usage: e2e_host pane SCR MS | windows | cursor\n");
    return 2;
}
