#include "password/pass_change.h"

#include <optional>
#include <string>

#include "password/password.h"
#include "runtime/app.h"
#include "runtime/convert.h"
#include "runtime/text.h"

namespace vellora {

namespace {

constexpr const char* kTitle = "Change Password";
constexpr const char* kWrongOld =
    "The value for Old Password is not correct.\r\n\r\nCheck your screen-saver password, and then try again.";
constexpr const char* kNoMatch = "The value for New Password and Retype New Password do not match.\r\n\r\nTry again";
constexpr const char* kNotSaved = "The new password could not be saved.\r\n\r\nTry again";

// The button-shadow grey in which an unused label is drawn.
constexpr rt::Color kButtonShadow = rt::rgb(128, 128, 128);
constexpr rt::Color kBlack = rt::rgb(0, 0, 0);

}  // namespace

PassChange::PassChange(Process& process) : rt::Form(process.app(), "PassChange"), process_(process) {
    design_.caption = "VELLORA Screen Saver Password";
    design_.border = rt::BorderStyle::FixedDialog;
    design_.client_width = 5040;
    design_.client_height = 1920;
    design_.font_bold = true;

    struct LabelDesign {
        rt::Label& label;
        const char* caption;
        float left, top, width, height;
        int tab;
    };
    for (const auto& d : {LabelDesign{Label4, "Change Password:", 168, 120, 1356, 192, 5},
                          LabelDesign{Label1, "&Old Password:", 300, 360, 1512, 240, 4},
                          LabelDesign{Label2, "&New Password:", 300, 780, 1608, 240, 3},
                          LabelDesign{Label3, "&Retype New Password:", 300, 1200, 2412, 240, 2}}) {
        d.label.Move(d.left, d.top, d.width, d.height);
        d.label.SetCaption(d.caption);
        d.label.SetTabIndex(d.tab);
        d.label.SetBold(false);
        d.label.SetForeColor(kBlack);
    }
    Text1.Move(2760, 300, 2115, 300);
    Text1.SetTabIndex(6);
    Text2.Move(2760, 720, 2115, 300);
    Text2.SetTabIndex(7);
    Text3.Move(2760, 1140, 2115, 300);
    Text3.SetTabIndex(8);
    Command1.Move(1248, 1536, 1032, 336);
    Command1.SetCaption("OK");
    Command1.SetTabIndex(0);
    Command1.SetDefault(true);
    Command3.Move(2724, 1536, 1056, 324);
    Command3.SetCaption("Cancel");
    Command3.SetTabIndex(1);
    Command3.SetCancel(true);

    Command1.on_click = [this] { Command1_Click(); };
    Command3.on_click = [this] { Command3_Click(); };
}

void PassChange::place() {
    const auto screen = process_.app().screen();
    const double tx = screen.twips_per_pixel_x;
    const double ty = screen.twips_per_pixel_y;
    std::optional<rt::PixelRect> owner;
    if (process_.ParentWindow != 0) owner = process_.windows().window_rect(process_.ParentWindow);
    if (!owner) {
        // Started without a window to sit on: centre on the screen.
        Move((screen.width_twips() - Width()) / 2, (screen.height_twips() - Height()) / 2);
        return;
    }
    // Centred across the owner, 60 pixels below its top edge.
    const double owner_width = static_cast<double>(owner->right) - owner->left;
    const double left = owner->left * tx + (owner_width * tx - Width()) / 2;
    const double top = rt::round_half_even((static_cast<double>(owner->top) + 60) * ty);
    Move(static_cast<float>(left), static_cast<float>(top));
}

void PassChange::Form_Load() {
    painted_ = false;
    place();
    Text1.SetPasswordChar('*');
    Text2.SetPasswordChar('*');
    Text3.SetPasswordChar('*');
    process_.StoredPassword = ReadStoredPassword(process_.services().user_store());
    if (process_.StoredPassword.empty()) {
        // No password yet: there is no old one to ask for.
        Label1.SetForeColor(kButtonShadow);
        Text1.SetEnabled(false);
    }
}

void PassChange::Form_Paint() {
    if (painted_) return;
    painted_ = true;
    if (Text1.Enabled()) {
        Text1.SetFocus();
    } else {
        Text2.SetFocus();
    }
}

void PassChange::refuse(const char* message) {
    process_.dialogs().message_box({message, kTitle, rt::MessageIcon::Stop});
    Text1.SetText("");
    Text2.SetText("");
    Text3.SetText("");
}

void PassChange::Command1_Click() {
    const bool has_password = !process_.StoredPassword.empty();
    if (has_password && EncodePassword(Text1.Text()) != process_.StoredPassword) {
        refuse(kWrongOld);
        Text1.SetFocus();
        return;
    }
    if (rt::to_upper(Text2.Text()) != rt::to_upper(Text3.Text())) {
        refuse(kNoMatch);
        if (has_password) {
            Text1.SetFocus();
        } else {
            Text2.SetFocus();
        }
        return;
    }
    const std::string encoded = EncodePassword(Text2.Text());
    if (!SaveStoredPassword(process_.services().user_store(), encoded)) {
        // Closing quietly would leave the user trusting a password that was
        // never stored; the old one stays in force.
        refuse(kNotSaved);
        if (has_password) {
            Text1.SetFocus();
        } else {
            Text2.SetFocus();
        }
        return;
    }
    process_.StoredPassword = encoded;
    Unload();
}

void PassChange::Command3_Click() { Unload(); }

}  // namespace vellora
