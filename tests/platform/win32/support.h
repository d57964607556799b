// Helpers of the Win32 runtime tests: a form with one control of each kind,
// files made on the spot, dialogs answered from inside their own loops.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32/form_window.h"
#include "platform/win32/platform.h"
#include "runtime/app.h"
#include "runtime/form.h"
#include "support/picture_files.h"
#include "support/temp_dir.h"

namespace vellora::win32::testing {

class TestForm : public rt::Form {
public:
    explicit TestForm(rt::App& app, rt::BorderStyle border = rt::BorderStyle::FixedDialog, bool menu = false)
        : Form(app, "TestForm") {
        design_.caption = "Vellora Test";
        design_.border = border;
        design_.has_menu = menu;
        design_.client_width = 4665;
        design_.client_height = 2445;
        Label1.Move(600, 60, 3720, 400);
        Label1.SetCaption("&Name:");
        Label1.SetTabIndex(2);
        Text1.Move(1704, 600, 2376, 360);
        Text1.SetTabIndex(3);
        OK.Move(852, 1980, 1104, 372);
        OK.SetCaption("OK");
        OK.SetDefault(true);
        OK.SetTabIndex(0);
        Cancel.Move(2976, 1980, 1116, 372);
        Cancel.SetCaption("&Cancel");
        Cancel.SetCancel(true);
        Cancel.SetTabIndex(1);
        hlp.SetCaption("&Help");
        OK.on_click = [this] { ++ok_clicks; };
        Cancel.on_click = [this] { ++cancel_clicks; };
        Text1.on_change = [this] { ++text_changes; };
        hlp.on_click = [this] { ++help_clicks; };
    }

    rt::Label Label1{*this, "Label1"};
    rt::TextBox Text1{*this, "Text1"};
    rt::CommandButton OK{*this, "OK"};
    rt::CommandButton Cancel{*this, "Cancel"};
    rt::MenuCommand hlp{*this, "hlp"};

    int ok_clicks = 0, cancel_clicks = 0, text_changes = 0, help_clicks = 0, paints = 0, dbl_clicks = 0;
    bool refuse_close = false;
    std::vector<std::int16_t> keys;
    std::vector<std::int16_t> unload_modes;
    std::vector<std::pair<float, float>> moves;
    std::vector<std::int16_t> downs;

protected:
    void Form_KeyDown(std::int16_t key, std::int16_t) override { keys.push_back(key); }
    void Form_QueryUnload(std::int16_t& cancel, std::int16_t mode) override {
        unload_modes.push_back(mode);
        if (refuse_close) cancel = -1;
    }
    void Form_MouseMove(std::int16_t, std::int16_t, float x, float y) override { moves.emplace_back(x, y); }
    void Form_MouseDown(std::int16_t button, std::int16_t, float, float) override { downs.push_back(button); }
    void Form_DblClick() override { ++dbl_clicks; }
    void Form_Paint() override { ++paints; }
};

// A bare form with no controls, drawn on.
class PlainForm : public rt::Form {
public:
    PlainForm(rt::App& app, std::string name, rt::BorderStyle border = rt::BorderStyle::None)
        : Form(app, std::move(name)) {
        design_.border = border;
        design_.back_color = rt::rgb(0, 0, 255);
        design_.width = 3000;
        design_.height = 2000;
    }
    std::vector<std::int16_t> keys;
    int display_changes = 0;

protected:
    void Form_KeyDown(std::int16_t key, std::int16_t) override { keys.push_back(key); }
    void Form_DisplayChanged() override { ++display_changes; }
};

FormWindow& native(const rt::Form& form);  // throws when the form is not loaded
inline HWND hwnd_of(const rt::Form& form) {
    const auto* window = dynamic_cast<const FormWindow*>(form.peer());
    return window != nullptr ? window->hwnd() : nullptr;
}
// The child window of a control (buttons, text boxes, labels, picture boxes).
HWND hwnd_of(const rt::Control& control);

// A scratch folder of its own for one test, removed afterwards.
struct TempFolder : vellora::testing::TempDir {
    [[nodiscard]] std::string file(const std::string& name) const { return (path() / name).string(); }
};
using vellora::testing::bmp_bytes;
using vellora::testing::wmf_bytes;
using vellora::testing::write_file;
// Where the pictures made by the build lie (GIF, JPEG, ICO).
std::string test_picture(const std::string& name);

// Captures the window's client area as it is on the screen.
class Capture {
public:
    explicit Capture(HWND hwnd);
    [[nodiscard]] COLORREF at(int x, int y) const;
    [[nodiscard]] int width() const { return width_; }
    [[nodiscard]] int height() const { return height_; }
    [[nodiscard]] bool same_as(const Capture& other) const { return pixels_ == other.pixels_; }

private:
    int width_ = 0, height_ = 0;
    std::vector<std::uint32_t> pixels_;
};

// Runs `act` on the first dialog box (class "#32770") of this thread that
// opens, from inside the dialog's own message loop.
void when_dialog_opens(std::function<void(HWND dialog)> act);

// Lets the queue run dry and paints what is waiting.
void settle(Win32Platform& platform);

// Collects what the program writes to the debugger's output
// (OutputDebugStringA) while it lives.
class DebugOutput {
public:
    DebugOutput();
    ~DebugOutput();
    DebugOutput(const DebugOutput&) = delete;
    DebugOutput& operator=(const DebugOutput&) = delete;
    [[nodiscard]] const std::string& text() const;

private:
    void* handler_;
};

}  // namespace vellora::win32::testing
