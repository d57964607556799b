#include "saver/main_form.h"

#include "password/password.h"
#include "runtime/convert.h"
#include "runtime/failure.h"
#include "runtime/picture.h"
#include "settings/settings.h"

namespace vellora {

namespace {

// Moves further apart than this, counted from the first move of a period,
// start the count again.
constexpr double kMoveWindowSeconds = 10.0;
constexpr std::int16_t kMovesToEnd = 4;

}  // namespace

MainForm::MainForm(Process& process) : rt::Form(process.app(), "MainForm"), process_(process) {
    design_.caption = "Screen Saver Main Form";  // never seen: the window has no border
    design_.border = rt::BorderStyle::None;
    design_.back_color = rt::rgb(0, 0, 255);  // always replaced by the stored colour before showing

    Timer1.SetInterval(400);
    Timer1.on_timer = [this] { Timer1_Timer(); };

    Label1.SetCaption(
        "If You can see this label, you need to select a file. Please Select a Gif, Bmp or Jpeg under settings "
        "Where you select your screen saver");
    Label1.Move(495, 1215, 6360, 465);
    Image2.Move(4170, 1680, 2310, 2040);
    Image2.SetStretch(false);
    Image1.Move(585, 1710, 2715, 2040);
    Image1.SetStretch(false);
}

void MainForm::Form_Load() {
    try {
        load_steps(true);
        return;
    } catch (const rt::PictureError&) {
        // The stored picture cannot be shown: fall back, once, to the spare
        // picture and make the settings file name it from now on.
    }
    process_.ImageName = process_.services().spare_picture_path();
    // When the file cannot be written, reading it back would give the
    // broken name again: the spare picture is shown all the same.
    const bool written = settings::WriteImageName(process_.services().settings_file(), process_.ImageName);
    try {
        load_steps(written);
    } catch (const rt::PictureError&) {
        // The spare picture is missing too: run on with the message instead
        // of a picture.
        Label1.SetVisible(true);
        hide_cursor();
    }
}

void MainForm::cover_desktop() {
    const rt::ScreenMetrics screen = process_.app().screen();
    const rt::PixelRect desktop = screen.desktop();
    Move(static_cast<float>(desktop.left) * screen.twips_per_pixel_x,
         static_cast<float>(desktop.top) * screen.twips_per_pixel_y,
         static_cast<float>(desktop.width()) * screen.twips_per_pixel_x,
         static_cast<float>(desktop.height()) * screen.twips_per_pixel_y);
}

float MainForm::desktop_width() const {
    const rt::ScreenMetrics screen = process_.app().screen();
    return static_cast<float>(screen.desktop().width()) * screen.twips_per_pixel_x;
}

float MainForm::desktop_height() const {
    const rt::ScreenMetrics screen = process_.app().screen();
    return static_cast<float>(screen.desktop().height()) * screen.twips_per_pixel_y;
}

void MainForm::Form_DisplayChanged() { cover_desktop(); }

void MainForm::load_steps(bool read_name) {
    rt::SystemServices& services = process_.services();
    SetTopMost();
    // The whole desktop: with several monitors, all of them.
    cover_desktop();

    process_.UsePassword = settings::ReadDesktopPasswordFlag(services);
    process_.StoredPassword = ReadStoredPassword(services.user_store());

    if (read_name) process_.ImageName = settings::ReadImageName(services.settings_file());
    // A name is present when it sorts after a single blank (by character code).
    if (process_.ImageName > " ") {
        Label1.SetVisible(false);
        Image2.SetPicture(process_.app().LoadPicture(process_.ImageName));  // throws rt::PictureError
    } else {
        Label1.SetVisible(true);
    }
    hide_cursor();
}

void MainForm::Form_KeyDown(std::int16_t /*key_code*/, std::int16_t /*shift_state*/) { Unload(); }

void MainForm::Form_MouseDown(std::int16_t /*button*/, std::int16_t /*shift_state*/, float /*x*/, float /*y*/) {
    Unload();
}

void MainForm::Form_MouseMove(std::int16_t /*button*/, std::int16_t /*shift_state*/, float /*x*/, float /*y*/) {
    process_.MouseMoveCount = static_cast<std::int16_t>(process_.MouseMoveCount + 1);
    if (process_.MouseMoveCount == kMovesToEnd) {
        process_.ExitRequested = kTrue;
        Unload();  // may be refused by the password prompt; the count goes on below either way
    }
    // The reset comes after the count, so a late fourth move still ends the saver.
    const double now = process_.services().steady_seconds();
    if (!FirstMoveTime) {
        FirstMoveTime = rt::round_half_even(now);
    } else if (now - *FirstMoveTime > kMoveWindowSeconds) {
        FirstMoveTime.reset();
        process_.MouseMoveCount = 0;
    }
}

void MainForm::Form_QueryUnload(std::int16_t& cancel, std::int16_t /*unload_mode*/) {
    if (asking_) {
        // A second request (the animation repeating the exit) while the
        // prompt of the first one is still open: drop it. The open prompt
        // alone decides.
        cancel = kTrue;
        return;
    }
    const std::int16_t has_password = process_.StoredPassword.empty() ? kFalse : kTrue;
    if ((process_.UsePassword & has_password) == 0) return;

    show_cursor();
    {
        asking_ = true;
        const rt::ScopeExit asked([this] { asking_ = false; });
        process_.form(Window::PassCheck).Show(true);
    }
    if (process_.PasswordOK != kTrue) {
        hide_cursor();
        cancel = kTrue;
    }
}

void MainForm::Form_Unload(std::int16_t& /*cancel*/) { show_cursor(); }

void MainForm::show_cursor() { process_.services().show_cursor_until(rt::kCursorShown); }

void MainForm::hide_cursor() { process_.services().hide_cursor_until(rt::kCursorHidden); }

}  // namespace vellora
