// The message box and the common dialogs on Qt: Qt's own dialogs (not the
// desktop's), modal and on top, each giving the keyboard back to the
// program's window once it has closed.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/qt/trace.h"
#include "runtime/platform.h"

class QDialog;
class QWidget;

namespace vellora::qt {

// A "desc|pattern|..." filter in Qt's "desc (patterns);;..." form, one entry per filter.
std::vector<std::string> qt_name_filters(const std::string& filter);

class QtDialogs final : public rt::Dialogs {
public:
    // `give_back_keyboard` runs after each dialog has closed; `over_full_screen`
    // tells whether a form covers the outputs of a Wayland desktop.
    QtDialogs(rt::SystemServices& services, const Trace& trace, std::function<void()> give_back_keyboard,
              std::function<bool()> over_full_screen = {});

    void message_box(const rt::MessageBoxRequest& request) override;
    std::optional<rt::Color> choose_color(const rt::ColorDialogRequest& request) override;
    std::optional<std::string> open_file(const rt::FileDialogRequest& request) override;

private:
    // Traces the moment a dialog becomes the active window (and takes the keyboard).
    void trace_when_active(QWidget& dialog, const std::string& name);
    // Shows the dialog and waits until it has closed; its result.
    int run(QDialog& dialog);

    rt::SystemServices& services_;
    const Trace& trace_;
    std::function<void()> give_back_keyboard_;
    std::function<bool()> over_full_screen_;
};

}  // namespace vellora::qt
