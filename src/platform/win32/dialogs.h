// The message box and the common dialogs (colour, file open), each modal
// over the program's active window.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "platform/win32/platform.h"

namespace vellora::win32 {

// "description|pattern|..." as the file dialog wants it: each part ended by
// a NUL and the whole list by a second NUL.
std::string filter_for_dialog(const std::string& filter);

class Dialogs final : public rt::Dialogs {
public:
    explicit Dialogs(const WindowSystem& windows) : windows_(windows) {}
    void message_box(const rt::MessageBoxRequest& request) override;
    std::optional<rt::Color> choose_color(const rt::ColorDialogRequest& request) override;
    std::optional<std::string> open_file(const rt::FileDialogRequest& request) override;

private:
    const WindowSystem& windows_;
    std::array<COLORREF, 16> custom_colors_{};  // the colour dialog's own, kept while the program runs
};

}  // namespace vellora::win32
