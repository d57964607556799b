#include "saver/control_form.h"

#include "saver/random_circles.h"

namespace vellora {

ControlForm::ControlForm(Process& process) : rt::Form(process.app(), "ControlForm"), process_(process) {
    design_.caption = "ZELK Screen Saver";
    design_.border = rt::BorderStyle::None;
    design_.back_color = rt::rgb(192, 192, 192);
    design_.client_width = 4140;
    design_.client_height = 6510;

    Picture1.SetBackColor(rt::rgb(0, 0, 255));
    Picture1.SetForeColor(rt::rgb(0, 0, 0));  // the usual window-text colour
    Picture1.Move(120, 0, 1932, 1080);        // replaced by the pane's size at load

    Timer1.SetInterval(400);
    Timer1.on_timer = [this] { Timer1_Timer(); };
}

void ControlForm::Form_Load() {
    rt::WindowSystem& windows = process_.windows();
    // A handle that names no window leaves the box at 0 x 0; the first tick
    // then ends the preview.
    rt::PixelRect pane{};
    if (const auto rect = windows.client_rect(process_.ParentWindow)) pane = *rect;

    const rt::ScreenMetrics screen = process_.app().screen();
    const auto width_px = static_cast<double>(pane.right) - static_cast<double>(pane.left);
    const auto height_px = static_cast<double>(pane.bottom) - static_cast<double>(pane.top);
    Picture1.Move(0, 0, static_cast<float>(width_px * screen.twips_per_pixel_x),
                  static_cast<float>(height_px * screen.twips_per_pixel_y));

    // Inside the pane, position 0, 0 is the pane's own top-left corner: the
    // box covers its client area exactly. The form itself stays hidden.
    if (windows.is_window(process_.ParentWindow)) Picture1.SetParent(process_.ParentWindow);
}

void ControlForm::Timer1_Timer() {
    // Checked before drawing: nothing is drawn once the pane is gone.
    if (!process_.windows().is_window(process_.ParentWindow)) {
        Unload();
        return;
    }
    DrawRandomCircle(process_, Picture1);
}

}  // namespace vellora
