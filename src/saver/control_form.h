// The preview window: never shown itself, it moves its drawing box into the
// preview pane named on the command line and sprinkles a burst of random
// circles into it every 400 ms, until the pane goes away.
#pragma once

#include "runtime/form.h"
#include "app/process.h"

namespace vellora {

class ControlForm final : public rt::Form {
public:
    explicit ControlForm(Process& process);

    // The drawing box that lives inside the preview pane.
    rt::PictureBox Picture1{*this, "Picture1"};
    rt::Timer Timer1{*this, "Timer1"};

    // Ends the preview once the pane is gone; otherwise draws one burst.
    void Timer1_Timer();

protected:
    void Form_Load() override;

private:
    Process& process_;
};

}  // namespace vellora
