// The password change dialog: sets, changes or removes the saver's own
// password. It asks for the old password only when one is stored.
#pragma once

#include "runtime/form.h"
#include "app/process.h"

namespace vellora {

class PassChange final : public rt::Form {
public:
    explicit PassChange(Process& process);

    rt::Label Label4{*this, "Label4"};
    rt::Label Label1{*this, "Label1"};
    rt::TextBox Text1{*this, "Text1"};
    rt::Label Label2{*this, "Label2"};
    rt::TextBox Text2{*this, "Text2"};
    rt::Label Label3{*this, "Label3"};
    rt::TextBox Text3{*this, "Text3"};
    rt::CommandButton Command1{*this, "Command1"};
    rt::CommandButton Command3{*this, "Command3"};

protected:
    void Form_Load() override;
    void Form_Paint() override;

private:
    void Command1_Click();
    void Command3_Click();

    void place();
    // Shows one of the dialog's error messages and empties all three boxes.
    void refuse(const char* message);

    Process& process_;
    bool painted_ = false;
};

}  // namespace vellora
