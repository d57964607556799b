// "Set Picture": the file-open dialog, the thumbnail's picture and its size.
#include <optional>
#include <stdexcept>
#include <string>

#include "runtime/app.h"
#include "setup/configuration.h"

namespace vellora {

namespace {
// Seven entries; the WMF and ICO entries carry a blank on each side of their '|'.
const std::string kPictureFilter = std::string("All Files (*.*)|*.*|BMPs") +
                                   "(*.bmp)|*.bmp|GIFs(*.Gif)|*.Gif|JPEGs(*.Jpg)|*.Jpg|" +
                                   "WMFs(*.wmf) | *.wmf|ICOs(*.ico) | *.ico|" +
                                   "All Picture Formats(*.bmp;*.ico;*.gif;*.jpg;*.wmf)|*.bmp;*.ico;*.gif;*.jpg;*.wmf";
constexpr int kAllPictureFormats = 7;
}  // namespace

void Configuration::Setpic_Click() {
    ope_file();
    // From here on a step that fails is skipped and the next one runs.
    try {
        // An empty path clears the thumbnail; a file that is no picture leaves it.
        Image1.SetPicture(process_.app().LoadPicture(process_.PicturePath));
    } catch (const rt::PictureError&) {
    }
    calc_img();
    layout_thumbnail();
    if (Image1.Width() > Width()) {
        // Only when sizing had no picture to work on. The thumbnail becomes
        // as wide as the dialog and stays centred on its outer width, as the
        // layout keeps it: its left edge is the inner area's left edge.
        Image1.SetLeft(0);
        Image1.SetWidth(Width());
    }
}

void Configuration::ope_file() {
    rt::FileDialogRequest request;
    request.hide_read_only = true;
    request.filter = kPictureFilter;
    request.filter_index = kAllPictureFormats;
    request.file_name = file_name_;
    std::optional<std::string> chosen;
    try {
        chosen = process_.dialogs().open_file(request);
    } catch (const std::runtime_error&) {
        return;  // the dialog could not be shown: the path stays as it was
    }
    // A cancelled dialog still reports a file name: the one it held before.
    if (chosen) file_name_ = *chosen;
    process_.PicturePath = file_name_;
}

void Configuration::calc_img() {
    const double Hb = ScaleHeight();
    const double Wb = ScaleWidth();
    const auto& picture = Image1.GetPicture();
    if (!picture) return;
    const double Wp = picture->himetric_width;
    const double Hp = picture->himetric_height;
    // A division by zero ends the sizing before anything changes.
    if (Wp == 0 || Hp == 0) return;
    const double r = Hp / Wp;
    const double q = Wp / Hp;

    // The picture's HIMETRIC size is weighed against the bounds in twips as
    // it stands, unconverted.
    if (r < q) {
        if (Wp > Wb && Hp < Hb) {
            Image1.SetHeight(static_cast<float>(Wb * r));
            Image1.SetWidth(static_cast<float>(Wb));
            Image1.SetStretch(true);
        } else if (Wp > Wb && Hp > Hb) {
            Image1.SetHeight(static_cast<float>(Hb));
            Image1.SetWidth(static_cast<float>(Hb * q));
            Image1.SetStretch(true);
        }
    }
    if (r > q && Hp > Hb) {
        Image1.SetWidth(static_cast<float>(Hb * q));
        Image1.SetHeight(static_cast<float>(Hb));
        Image1.SetStretch(true);
    }
    if (Image1.Width() > static_cast<float>(Wb)) {
        Image1.SetWidth(static_cast<float>(Wb));
        Image1.SetHeight(static_cast<float>(Wb * r));
    }
}

}  // namespace vellora
