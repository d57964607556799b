#include "startup/windows.h"

#include "password/pass_change.h"
#include "password/pass_check.h"
#include "saver/control_form.h"
#include "saver/main_form.h"
#include "setup/configuration.h"

namespace vellora {

std::unique_ptr<rt::Form> make_window(Window window, Process& process) {
    switch (window) {
        case Window::MainForm:
            return std::make_unique<MainForm>(process);
        case Window::ControlForm:
            return std::make_unique<ControlForm>(process);
        case Window::Configuration:
            return std::make_unique<Configuration>(process);
        case Window::PassChange:
            return std::make_unique<PassChange>(process);
        case Window::PassCheck:
            return std::make_unique<PassCheck>(process);
    }
    return nullptr;
}

}  // namespace vellora
