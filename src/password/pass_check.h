// The password prompt of the running saver: one attempt per showing. The
// verdict goes to PasswordOK; the prompt closes itself after 30 s without
// typing.
#pragma once

#include "runtime/form.h"
#include "app/process.h"

namespace vellora {

// The message after a wrong password.
inline constexpr const char* kIncorrectPasswordText =
    "Incorrect password;\r\n\r\nCheck your screen saver password and try again.";

class PassCheck final : public rt::Form {
public:
    explicit PassCheck(Process& process);

    rt::CommandButton Command1{*this, "Command1"};  // OK
    rt::CommandButton Command2{*this, "Command2"};  // Cancel
    rt::Label Label1{*this, "Label1"};
    rt::Label Label2{*this, "Label2"};
    rt::TextBox Text1{*this, "Text1"};
    rt::Image Image1{*this, "Image1"};
    rt::Timer Timer1{*this, "Timer1"};

protected:
    void Form_Load() override;
    void Form_Paint() override;
    void Form_Unload(std::int16_t& cancel) override;

private:
    void text1_Change();
    void Timer1_Timer();
    void Command1_Click();
    void Command2_Click();

    Process& process_;
};

}  // namespace vellora
