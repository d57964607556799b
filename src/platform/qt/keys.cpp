#include "platform/qt/keys.h"

#include <QKeyEvent>

#include "runtime/types.h"

namespace vellora::qt {

std::int16_t key_code_of(int qt_key) {
    if (qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z) return static_cast<std::int16_t>('A' + (qt_key - Qt::Key_A));
    if (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9) return static_cast<std::int16_t>('0' + (qt_key - Qt::Key_0));
    if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F24) return static_cast<std::int16_t>(0x70 + (qt_key - Qt::Key_F1));
    switch (qt_key) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab: return rt::keys::Tab;
        case Qt::Key_Return:
        case Qt::Key_Enter: return rt::keys::Enter;
        case Qt::Key_Escape: return rt::keys::Escape;
        case Qt::Key_Space: return rt::keys::Space;
        case Qt::Key_Backspace: return 0x08;
        case Qt::Key_Shift: return 0x10;
        case Qt::Key_Control: return 0x11;
        case Qt::Key_Alt: return 0x12;
        case Qt::Key_Pause: return 0x13;
        case Qt::Key_CapsLock: return 0x14;
        case Qt::Key_PageUp: return 0x21;
        case Qt::Key_PageDown: return 0x22;
        case Qt::Key_End: return 0x23;
        case Qt::Key_Home: return 0x24;
        case Qt::Key_Left: return 0x25;
        case Qt::Key_Up: return 0x26;
        case Qt::Key_Right: return 0x27;
        case Qt::Key_Down: return 0x28;
        case Qt::Key_Insert: return 0x2D;
        case Qt::Key_Delete: return 0x2E;
        case Qt::Key_Meta: return 0x5B;
        default: return 0xFF;  // a key without a Windows number still is a key
    }
}

std::int16_t shift_state_of(Qt::KeyboardModifiers modifiers) {
    std::int16_t s = 0;
    if (modifiers & Qt::ShiftModifier) s = static_cast<std::int16_t>(s | rt::shift::Shift);
    if (modifiers & Qt::ControlModifier) s = static_cast<std::int16_t>(s | rt::shift::Ctrl);
    if (modifiers & Qt::AltModifier) s = static_cast<std::int16_t>(s | rt::shift::Alt);
    return s;
}

KeyDown key_down_of(const QKeyEvent& event) {
    KeyDown down{key_code_of(event.key()), shift_state_of(event.modifiers())};
    if (event.key() == Qt::Key_Backtab) down.shift = static_cast<std::int16_t>(down.shift | rt::shift::Shift);
    return down;
}

std::int16_t mouse_button_of(Qt::MouseButton button) {
    switch (button) {
        case Qt::LeftButton: return rt::mouse::Left;
        case Qt::RightButton: return rt::mouse::Right;
        case Qt::MiddleButton: return rt::mouse::Middle;
        default: return 0;
    }
}

std::int16_t mouse_buttons_of(Qt::MouseButtons buttons) {
    std::int16_t out = 0;
    if (buttons & Qt::LeftButton) out = static_cast<std::int16_t>(out | rt::mouse::Left);
    if (buttons & Qt::RightButton) out = static_cast<std::int16_t>(out | rt::mouse::Right);
    if (buttons & Qt::MiddleButton) out = static_cast<std::int16_t>(out | rt::mouse::Middle);
    return out;
}

}  // namespace vellora::qt
