// The setup dialog: the user picks the saver's picture and background
// colour, sees a thumbnail of the picture, and OK writes both choices to the
// settings file. A menu command opens the help file.
#pragma once

#include <array>
#include <string>

#include "runtime/form.h"
#include "runtime/types.h"
#include "app/process.h"

namespace vellora {

class Configuration final : public rt::Form {
public:
    explicit Configuration(Process& process);

    // The thumbnail. Stretching stays off until a "Set Picture" turns it on.
    rt::Image Image1{*this, "Image1"};
    // Collapsed to nothing at the thumbnail's corner by every layout.
    rt::PictureBox Picture1{*this, "Picture1"};
    rt::CommandButton Setpic{*this, "Setpic"};
    rt::CommandButton Command1{*this, "Command1"};
    rt::CommandButton CmdOK{*this, "CmdOK"};
    rt::CommandButton CmdCancel{*this, "CmdCancel"};
    // Placed outside the visible area; element 0 gives the reference height
    // of the dialog and of the thumbnail.
    std::array<rt::PictureBox, 3> Picture2{{{*this, "Picture2(0)"}, {*this, "Picture2(1)"}, {*this, "Picture2(2)"}}};
    rt::MenuCommand hlp{*this, "hlp"};

protected:
    void Form_Load() override;
    void Form_DblClick() override;

private:
    void Setpic_Click();
    void Command1_Click();
    void CmdOK_Click();
    void CmdCancel_Click();
    void hlp_Click();

    // Picture selection.
    void ope_file();
    void calc_img();

    // The steps of the load sequence that a failed picture makes run again;
    // `read_name`: the picture's name is read from the settings file.
    void load_steps(bool read_name);
    // Centres the thumbnail on the dialog's outer width at the reference
    // height and tucks Picture1 away under its corner.
    void layout_thumbnail();
    [[nodiscard]] float reference_height() const { return Picture2[0].Height(); }

    Process& process_;
    // What the two common dialogs hold between openings: the file last
    // chosen (empty at first) and the colour last confirmed (or the one the
    // colour dialog starts on).
    std::string file_name_;
    rt::Color dialog_color_ = 0;
};

}  // namespace vellora
