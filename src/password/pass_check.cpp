#include "password/pass_check.h"

#include "password/center_form.h"
#include "password/password.h"

namespace vellora {

PassCheck::PassCheck(Process& process) : rt::Form(process.app(), "PassCheck"), process_(process) {
    design_.caption = "";
    design_.border = rt::BorderStyle::FixedDialog;
    design_.client_width = 4665;
    design_.client_height = 2445;
    design_.font_name = "MS Sans Serif";
    design_.font_size = 8.25F;
    design_.font_bold = true;

    Command1.SetCaption("OK");
    Command1.Move(852, 1980, 1104, 372);
    Command1.SetTabIndex(0);
    Command1.SetDefault(true);
    Command1.on_click = [this] { Command1_Click(); };

    Command2.SetCaption("Cancel");
    Command2.Move(2976, 1980, 1116, 372);
    Command2.SetTabIndex(1);
    Command2.SetCancel(true);
    Command2.on_click = [this] { Command2_Click(); };

    Label1.SetCaption(
        "This computer is password protected.  You must type in the screen saver password to turn off the "
        "screen saver.");
    Label1.Move(600, 60, 3720, 930);
    Label1.SetTabIndex(2);
    Label1.SetBold(false);

    Label2.SetCaption("Password:");
    Label2.Move(720, 1140, 756, 192);
    Label2.SetTabIndex(3);
    Label2.SetBold(false);

    Text1.Move(1704, 1452, 2376, 360);
    Text1.SetTabIndex(4);
    Text1.on_change = [this] { text1_Change(); };

    Image1.Move(60, 156, 384, 384);

    Timer1.SetInterval(30000);
    Timer1.on_timer = [this] { Timer1_Timer(); };
}

void PassCheck::Form_Load() {
    // Every showing starts afresh: an empty box and no verdict yet.
    process_.PasswordOK = kFalse;
    Text1.SetText("");

    rt::SystemServices& services = process_.services();
    services.show_cursor_until(rt::kCursorShown);
    // After a failed prompt the saver needs the full count of moves again.
    process_.MouseMoveCount = 0;
    CenterForm(*this);
    Image1.SetPicture(services.app_icon());
    Text1.SetPasswordChar('*');
    SetTopMost();
}

void PassCheck::Form_Paint() { Text1.SetFocus(); }

void PassCheck::text1_Change() {
    // Typing gives another 30 s.
    Timer1.SetEnabled(false);
    Timer1.SetEnabled(true);
}

void PassCheck::Timer1_Timer() {
    process_.PasswordOK = kFalse;
    Unload();
}

void PassCheck::Command1_Click() {
    if (EncodePassword(Text1.Text()) == process_.StoredPassword) {
        process_.PasswordOK = kTrue;
    } else {
        process_.dialogs().message_box({kIncorrectPasswordText, "", rt::MessageIcon::Stop});
        process_.PasswordOK = kFalse;
    }
    Unload();
}

void PassCheck::Command2_Click() {
    process_.PasswordOK = kFalse;
    Unload();
}

void PassCheck::Form_Unload(std::int16_t& /*cancel*/) {
    // A refusal hides the cursor again for the saver that keeps running;
    // after the right password it stays visible for the closing saver.
    if (process_.PasswordOK != kTrue) process_.services().hide_cursor_until(rt::kCursorHidden);
}

}  // namespace vellora
