// Qt's keys, modifiers and mouse buttons as the runtime's key codes
// (the Windows virtual-key numbers), shift state and mouse button bits.
#pragma once

#include <QtCore/qnamespace.h>

#include <cstdint>

class QKeyEvent;

namespace vellora::qt {

std::int16_t key_code_of(int qt_key);
std::int16_t shift_state_of(Qt::KeyboardModifiers modifiers);

// A key press as the runtime sees it: Shift+Tab arrives from Qt as Backtab,
// whose Shift is not always among the modifiers.
struct KeyDown {
    std::int16_t key = 0;
    std::int16_t shift = 0;
};
KeyDown key_down_of(const QKeyEvent& event);

// The button that changed (mouse down) and the buttons held (mouse move).
std::int16_t mouse_button_of(Qt::MouseButton button);
std::int16_t mouse_buttons_of(Qt::MouseButtons buttons);

}  // namespace vellora::qt
