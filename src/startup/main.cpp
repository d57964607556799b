#include "startup/main.h"

#include "runtime/failure.h"
#include "runtime/text.h"
#include "settings/settings.h"

namespace vellora {

namespace {

constexpr std::size_t kSwitchLength = 2;

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string saver_mode(const std::string& arguments) { return rt::to_upper(arguments.substr(0, kSwitchLength)); }

std::uint32_t parent_window_from(const std::string& arguments) {
    std::size_t i = kSwitchLength < arguments.size() ? kSwitchLength : arguments.size();
    while (i < arguments.size() && is_blank(arguments[i])) ++i;
    std::uint64_t handle = 0;
    bool too_large = false;
    for (; i < arguments.size() && is_digit(arguments[i]); ++i) {
        if (too_large) continue;
        handle = handle * 10 + static_cast<std::uint64_t>(arguments[i] - '0');
        // No window has a number that does not fit: such a number names none.
        too_large = handle > 0xFFFFFFFFULL;
    }
    return too_large ? 0 : static_cast<std::uint32_t>(handle);
}

void ReadColor(Process& process) {
    process.Hue = settings::ReadColor(process.services().settings_file());
    // The first touch of the saver window loads it; the colour comes after.
    process.form(Window::MainForm).SetBackColor(settings::color_from_text(process.Hue));
}

void Main(Process& process) {
    auto& services = process.services();
    // A second copy ends at once, without a window and without reading a setting.
    if (services.previous_instance()) {
        process.startup_returned();
        return;
    }
    const std::string arguments = services.command_line_arguments();
    const std::string SaverMode = saver_mode(arguments);
    if (SaverMode == "/C") {
        process.form(Window::Configuration).Show();
    } else if (SaverMode == "/S") {
        // Settings that cannot be read leave the saver on its defaults, said in the failure report.
        (void)settings::ReportUnreadable(services);
        // Reading the colour loads the saver window, so it shows already in place.
        ReadColor(process);
        process.form(Window::MainForm).Show();
    } else if (SaverMode == "/P") {
        process.ParentWindow = parent_window_from(arguments);
        (void)process.form(Window::ControlForm);  // loaded, stays hidden
    } else if (SaverMode == "/A") {
        process.ParentWindow = parent_window_from(arguments);
        process.form(Window::PassChange).Show();
    }
    process.startup_returned();
}

int run_program(Process& process) {
    if (!rt::guarded(process.services(), [&process] { Main(process); })) {
        process.app().ShowCursorAgain();
        return 1;
    }
    if (!process.ended()) process.app().run_until([&process] { return process.ended(); });
    return 0;
}

}  // namespace vellora
