// Helpers of the Win32 runtime tests: the windows of forms and controls, the queue run dry, a pixel as shown.
#pragma once

#include "platform/win32/controls.h"
#include "platform/win32/platform.h"

namespace vellora::win32::testing {

inline HWND hwnd_of(const rt::Form& form) { return dynamic_cast<const FormWindow&>(*form.peer()).hwnd(); }
inline HWND hwnd_of(const rt::Control& control) { return dynamic_cast<const ChildPeer&>(*control.peer()).hwnd(); }

// A pixel of a window's client area as the screen shows it, once what waits (paints included) is handled.
inline COLORREF shown(Win32Platform& platform, HWND hwnd, int x, int y) {
    for (int i = 0; i < 3; ++i, Sleep(10)) platform.window_system().pump_pending();
    platform.window_system().pump_pending();
    HDC dc = GetDC(hwnd);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(hwnd, dc);
    return c;
}

}  // namespace vellora::win32::testing
