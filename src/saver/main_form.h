// The full-screen window of the running saver. Loading it covers the screen
// top-most, reads the password flag, the stored password and the picture,
// and hides the cursor; its timer animates the two pictures; a key, a click
// or the fourth counted mouse move ends it, through the password prompt
// when the desktop's password flag is on and a password is stored.
#pragma once

#include <cstdint>
#include <optional>

#include "runtime/form.h"
#include "app/process.h"

namespace vellora {

class MainForm final : public rt::Form {
public:
    explicit MainForm(Process& process);

    rt::Timer Timer1{*this, "Timer1"};
    // The no-picture message; shown only when no picture name is stored.
    rt::Label Label1{*this, "Label1"};
    // Image1 comes after Image2, so it is drawn over it where they meet.
    rt::Image Image2{*this, "Image2"};
    rt::Image Image1{*this, "Image1"};

    // One step of the animation, every 400 ms.
    void Timer1_Timer();

    // True while the password prompt of an unload request is open.
    [[nodiscard]] bool asking() const { return asking_; }

protected:
    void Form_Load() override;
    void Form_QueryUnload(std::int16_t& cancel, std::int16_t unload_mode) override;
    void Form_Unload(std::int16_t& cancel) override;
    void Form_KeyDown(std::int16_t key_code, std::int16_t shift_state) override;
    void Form_MouseDown(std::int16_t button, std::int16_t shift_state, float x, float y) override;
    void Form_MouseMove(std::int16_t button, std::int16_t shift_state, float x, float y) override;
    void Form_DisplayChanged() override;

private:
    // The part of the load that runs again after a picture failed to load;
    // `read_name`: the picture's name is read from the settings file.
    void load_steps(bool read_name);
    // Covers the whole desktop, every monitor.
    void cover_desktop();
    [[nodiscard]] float desktop_width() const;
    [[nodiscard]] float desktop_height() const;
    void show_cursor();
    void hide_cursor();

    Process& process_;
    // When the first move of the current counting period came, in whole
    // seconds of the steady clock (which does not wrap at midnight); nothing
    // while no period is open.
    std::optional<double> FirstMoveTime;
    bool asking_ = false;
};

}  // namespace vellora
