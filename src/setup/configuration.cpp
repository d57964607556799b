#include "setup/configuration.h"

#include <optional>

#include "runtime/app.h"
#include "settings/settings.h"

namespace vellora {

namespace {
// A setting counts as present when it sorts above a single blank.
bool present(const std::string& value) { return value > std::string(" "); }

constexpr const char* kNotSavedTitle = "Vellora";
std::string not_saved_text(const std::string& folder) {
    return "Your picture and colour could not be saved in\r\n" + folder +
           "\r\n\r\nThe folder cannot be written, or the disk is full. Nothing was saved; the dialog stays "
           "open so that you can try again.";
}
std::string not_read_text(const std::string& folder) {
    return "Your saved picture and colour could not be read from\r\n" + folder +
           "\r\n\r\nThe settings file there cannot be opened. The dialog shows the defaults, and nothing is "
           "saved over that file while it cannot be read.";
}
}  // namespace

Configuration::Configuration(Process& process) : rt::Form(process.app(), "Configuration"), process_(process) {
    design_.caption = "VELLORA Screen Saver Setup";
    design_.border = rt::BorderStyle::FixedSingle;
    design_.has_menu = true;
    design_.client_width = 4980;
    design_.client_height = 4440;

    Image1.Move(90, 105, 4770, 2910);
    Image1.SetStretch(false);
    Picture1.Move(150, 120, 4710, 2970);
    Picture1.SetTabIndex(6);
    Setpic.Move(270, 3210, 1425, 405);
    Setpic.SetCaption("Set Picture");
    Setpic.SetTabIndex(5);
    Command1.Move(3270, 3210, 1425, 405);
    Command1.SetCaption("Set Color");
    Command1.SetTabIndex(7);
    CmdOK.Move(135, 3840, 1200, 432);
    CmdOK.SetCaption("&OK");
    CmdOK.SetTabIndex(0);
    CmdCancel.Move(3645, 3840, 1200, 432);
    CmdCancel.SetCaption("&Cancel");
    CmdCancel.SetTabIndex(1);
    // Neither OK nor Cancel is the default or cancel button: Enter presses
    // whichever button has the focus and Esc does nothing.
    Picture2[0].Move(6480, 2880, 2835, 2610);
    Picture2[0].SetTabIndex(4);
    Picture2[1].Move(6600, 3000, 2835, 2610);
    Picture2[1].SetTabIndex(3);
    Picture2[2].Move(6285, 1020, 105, 135);
    Picture2[2].SetTabIndex(2);
    hlp.SetCaption("&Help");

    Setpic.on_click = [this] { Setpic_Click(); };
    Command1.on_click = [this] { Command1_Click(); };
    CmdOK.on_click = [this] { CmdOK_Click(); };
    CmdCancel.on_click = [this] { CmdCancel_Click(); };
    hlp.on_click = [this] { hlp_Click(); };
}

void Configuration::load_steps(bool read_name) {
    SetTopMost();
    SetHeight(2 * reference_height());
    if (read_name) process_.ImageName = settings::ReadImageName(process_.services().settings_file());
    CmdCancel.SetTop(CmdOK.Top());
    Image1.SetPicture(process_.app().LoadPicture(process_.ImageName));
    layout_thumbnail();
}

void Configuration::Form_Load() {
    auto& file = process_.services().settings_file();
    const bool readable = file.readable();
    try {
        load_steps(true);
    } catch (const rt::PictureError&) {
        // The stored picture cannot be shown: fall back to the spare picture,
        // and let the settings file name it from now on. When the file cannot
        // be written, the spare picture is shown all the same; one that
        // cannot be read is never written over behind the user's back.
        process_.PicturePath = process_.services().spare_picture_path();
        process_.ImageName = process_.PicturePath;
        const bool written = readable && settings::WriteImageName(file, process_.PicturePath);
        try {
            load_steps(written);
        } catch (const rt::PictureError&) {
            // The spare is missing too: open with an empty thumbnail.
            Image1.SetPicture(nullptr);
            layout_thumbnail();
        }
    }

    const auto screen = process_.app().screen();
    Move((screen.width_twips() - Width()) / 2, (screen.height_twips() - Height()) / 2);

    // The colour dialog starts on the colour the saver uses now. Hue stays
    // empty, so OK writes a colour only once one has been chosen.
    dialog_color_ = settings::color_from_text(settings::ReadColor(file));
    if (!readable) {
        process_.dialogs().message_box({not_read_text(file.location()), kNotSavedTitle, rt::MessageIcon::Stop});
    }
}

void Configuration::layout_thumbnail() {
    Image1.Move((Width() - Image1.Width()) / 2, Image1.Top(), Image1.Width(), reference_height());
    Picture1.Move(Image1.Left(), Image1.Top(), 0, 0);
}

void Configuration::Command1_Click() {
    const auto chosen = process_.dialogs().choose_color({dialog_color_, true});
    if (!chosen) return;
    dialog_color_ = *chosen;
    process_.Hue = std::to_string(*chosen);
    // The focus is still on "Set Color": Enter presses it again and the
    // colour dialog reopens on the colour just chosen, until the user cancels.
    process_.app().SendKey(rt::keys::Enter);
}

void Configuration::CmdOK_Click() {
    auto& file = process_.services().settings_file();
    std::optional<std::string> picture;
    std::optional<std::string> color;
    if (present(process_.PicturePath)) {
        process_.ImageName = process_.PicturePath;
        picture = process_.ImageName;
    }
    if (present(process_.Hue)) color = process_.Hue;
    // Both choices in one rewrite of the file: saved together, or not at all.
    if (!settings::WriteChoices(file, picture, color)) {
        // Closing now would leave the user believing the choices were kept.
        process_.dialogs().message_box({not_saved_text(file.location()), kNotSavedTitle, rt::MessageIcon::Stop});
        return;
    }
    Unload();
}

void Configuration::CmdCancel_Click() { Unload(); }

void Configuration::hlp_Click() {
    process_.app().SetHelpFile("vellora.hlp");
    process_.app().SendKey(rt::keys::F1);
}

void Configuration::Form_DblClick() {
    try {
        Image1.SetPicture(process_.app().LoadPicture(process_.ImageName));
    } catch (const rt::PictureError&) {
        return;  // the thumbnail stays as it was
    }
    layout_thumbnail();
}

}  // namespace vellora
