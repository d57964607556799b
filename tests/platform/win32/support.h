// Helpers of the Win32 runtime tests: the windows of forms and controls, the
// queue run dry.
#pragma once

#include "platform/win32/form_window.h"
#include "platform/win32/platform.h"

namespace vellora::win32::testing {

inline HWND hwnd_of(const rt::Form& form) {
    const auto* window = dynamic_cast<const FormWindow*>(form.peer());
    return window != nullptr ? window->hwnd() : nullptr;
}

// The child window of a control (buttons, text boxes, labels, picture boxes).
inline HWND hwnd_of(const rt::Control& control) {
    const auto* window = dynamic_cast<const FormWindow*>(control.form().peer());
    for (HWND child = GetWindow(hwnd_of(control.form()), GW_CHILD); window != nullptr && child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (window->control_of(child) == &control) return child;
    }
    return nullptr;
}

// Handles what is waiting, paints included.
inline void settle(Win32Platform& platform) {
    for (int i = 0; i < 3; ++i) {
        platform.window_system().pump_pending();
        Sleep(10);
    }
    platform.window_system().pump_pending();
}

}  // namespace vellora::win32::testing
