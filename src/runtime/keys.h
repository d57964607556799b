// Who handles a key pressed in a form: the form (Form::deliver_key_down) or
// the native control that has the focus. Every runtime routes keys by this
// one rule.
#pragma once

#include <cstdint>

#include "runtime/types.h"

namespace vellora::rt {

// Tab and Shift+Tab (the focus order), Enter (the focused or default
// button), Esc (the cancel button), F1 (help) and Alt+letter (access keys)
// belong to the form wherever the focus is.
constexpr bool form_key(std::int16_t key, std::int16_t shift_state) {
    if (key == keys::Tab || key == keys::Enter || key == keys::Escape || key == keys::F1) return true;
    return (shift_state & shift::Alt) != 0 && key >= 'A' && key <= 'Z';
}

// A focused text box keeps every other key for its own editing; with any
// other control focused, or none, every key goes to the form.
constexpr bool form_takes_key(std::int16_t key, std::int16_t shift_state, bool text_box_focused) {
    return !text_box_focused || form_key(key, shift_state);
}

}  // namespace vellora::rt
