// Helpers of the Win32 runtime tests: the windows of forms and controls, the queue run dry.
#pragma once

#include "platform/win32/controls.h"
#include "platform/win32/platform.h"

namespace vellora::win32::testing {

inline HWND hwnd_of(const rt::Form& form) { return dynamic_cast<const FormWindow&>(*form.peer()).hwnd(); }
// The child window of a button, text box, label or picture box.
inline HWND hwnd_of(const rt::Control& control) { return dynamic_cast<const ChildPeer&>(*control.peer()).hwnd(); }

// Handles what is waiting, paints included.
inline void settle(Win32Platform& platform) {
    for (int i = 0; i < 3; ++i) {
        platform.window_system().pump_pending();
        Sleep(10);
    }
    platform.window_system().pump_pending();
}

}  // namespace vellora::win32::testing
