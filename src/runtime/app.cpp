#include "runtime/app.h"

#include <algorithm>

#include "runtime/form.h"

namespace vellora::rt {

App::App(Platform& platform) : platform_(platform), pictures_(platform.services().picture_decoder()) {}

void App::set_active_form(Form* form) { active_ = form; }

void App::SendKey(std::int16_t key, std::int16_t shift_state) {
    if (active_ != nullptr) active_->deliver_key_down(key, shift_state);
}

void App::ShowCursorAgain() { services().show_cursor_until(0); }

void App::form_loaded(Form& form) {
    if (std::find(loaded_.begin(), loaded_.end(), &form) == loaded_.end()) loaded_.push_back(&form);
}

void App::form_unloaded(Form& form) {
    loaded_.erase(std::remove(loaded_.begin(), loaded_.end(), &form), loaded_.end());
    if (active_ == &form) {
        // The most recently loaded visible form becomes active again.
        active_ = nullptr;
        for (auto it = loaded_.rbegin(); it != loaded_.rend(); ++it) {
            if ((*it)->Visible()) {
                active_ = *it;
                break;
            }
        }
    }
}

}  // namespace vellora::rt
