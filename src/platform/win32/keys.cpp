#include "platform/win32/keys.h"

#include "runtime/types.h"

namespace vellora::win32 {

std::int16_t shift_state() {
    std::int16_t s = 0;
    if (GetKeyState(VK_SHIFT) < 0) s |= rt::shift::Shift;
    if (GetKeyState(VK_CONTROL) < 0) s |= rt::shift::Ctrl;
    if (GetKeyState(VK_MENU) < 0) s |= rt::shift::Alt;
    return s;
}

std::int16_t mouse_buttons(WPARAM key_state) {
    std::int16_t b = 0;
    if ((key_state & MK_LBUTTON) != 0) b |= rt::mouse::Left;
    if ((key_state & MK_RBUTTON) != 0) b |= rt::mouse::Right;
    if ((key_state & MK_MBUTTON) != 0) b |= rt::mouse::Middle;
    return b;
}

std::int16_t button_of(UINT message) {
    switch (message) {
        case WM_RBUTTONDOWN:
            return rt::mouse::Right;
        case WM_MBUTTONDOWN:
            return rt::mouse::Middle;
        default:
            return rt::mouse::Left;
    }
}

KeyPress key_press(const MSG& msg) {
    KeyPress press;
    press.key = static_cast<std::int16_t>(msg.wParam);
    press.shift = shift_state();
    const bool system_key = msg.message == WM_SYSKEYDOWN;
    if (system_key) press.shift |= rt::shift::Alt;
    press.routing_shift = system_key ? press.shift : static_cast<std::int16_t>(press.shift & ~rt::shift::Alt);
    return press;
}

}  // namespace vellora::win32
