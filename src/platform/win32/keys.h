// Native keys, modifiers and mouse buttons as the runtime's codes and bits.
#pragma once

#include <cstdint>

#include "platform/win32/handles.h"

namespace vellora::win32 {

// The rt::shift bits held down while the message being handled was sent.
[[nodiscard]] std::int16_t shift_state();

// The rt::mouse bits of a mouse message's key-state word (MK_LBUTTON ...).
[[nodiscard]] std::int16_t mouse_buttons(WPARAM key_state);

// The rt::mouse bit of the button a WM_?BUTTONDOWN message is about.
[[nodiscard]] std::int16_t button_of(UINT message);

// A WM_KEYDOWN or WM_SYSKEYDOWN as the form's key event.
struct KeyPress {
    std::int16_t key = 0;    // the virtual-key code
    std::int16_t shift = 0;  // the rt::shift bits the form's key event receives
    // The shift state the key-routing rule sees: Alt only for a key the
    // system reports as an Alt combination (WM_SYSKEYDOWN). Ctrl+Alt (AltGr
    // on many keyboards) types characters and comes as an ordinary key.
    std::int16_t routing_shift = 0;
};
[[nodiscard]] KeyPress key_press(const MSG& msg);

}  // namespace vellora::win32
