// "Set Picture": the file-open dialog, the thumbnail's picture and its size.
#include "setup/picture_selection.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>

#include "runtime/app.h"
#include "setup/configuration.h"

namespace vellora {

namespace {
constexpr int kAllPictureFormats = 7;
constexpr const char* kClassicFormats[] = {"bmp", "ico", "gif", "jpg", "wmf"};
}  // namespace

std::string picture_filter(const std::vector<std::string>& readable) {
    std::vector<std::string> all;
    for (const char* classic : kClassicFormats) {
        if (std::find(readable.begin(), readable.end(), classic) != readable.end()) all.emplace_back(classic);
    }
    for (const auto& extension : readable) {
        if (std::find(all.begin(), all.end(), extension) == all.end()) all.push_back(extension);
    }
    std::string patterns;
    for (const auto& extension : all) patterns += (patterns.empty() ? "*." : ";*.") + extension;
    // The WMF and ICO entries carry a blank on each side of their '|'.
    return std::string("All Files (*.*)|*.*|BMPs(*.bmp)|*.bmp|GIFs(*.Gif)|*.Gif|") +
           "JPEGs(*.Jpg)|*.jpg;*.jpeg;*.jpe;*.jfif|WMFs(*.wmf) | *.wmf|ICOs(*.ico) | *.ico|" +
           "All Picture Formats(*.bmp;*.ico;*.gif;*.jpg;*.wmf)|" + patterns;
}

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
    request.filter = picture_filter(process_.app().pictures().extensions());
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
