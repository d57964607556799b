// Forms and their controls. A form class of the program derives from Form,
// declares its controls as members (designer names and values), and
// overrides the handlers it needs (Form_Load, Form_QueryUnload, ...).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/picture.h"
#include "runtime/platform.h"
#include "runtime/types.h"

namespace vellora::rt {

class App;
class Form;

// Something circles can be drawn on: a form or a picture box.
class Surface {
public:
    virtual ~Surface() = default;
    [[nodiscard]] virtual float Width() const = 0;   // outer width, twips
    [[nodiscard]] virtual float Height() const = 0;  // outer height, twips
    [[nodiscard]] virtual Color FillColor() const = 0;
    virtual void SetFillColor(Color color) = 0;
    // A full, true circle about (x, y) with the given outline colour, filled
    // with FillColor; coordinates in twips from the surface's top-left corner.
    virtual void Circle(float x, float y, float radius, Color color) = 0;
};

enum class ControlKind { Label, TextBox, CommandButton, Image, PictureBox };

class Control {
public:
    Control(Form& owner, std::string name, ControlKind kind);
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    [[nodiscard]] const std::string& name() const { return name_; }
    [[nodiscard]] ControlKind kind() const { return kind_; }
    [[nodiscard]] Form& form() const { return form_; }

    [[nodiscard]] float Left() const { return left_; }
    [[nodiscard]] float Top() const { return top_; }
    [[nodiscard]] float Width() const { return width_; }
    [[nodiscard]] float Height() const { return height_; }
    void SetLeft(float v);
    void SetTop(float v);
    void SetWidth(float v);
    void SetHeight(float v);
    void Move(float left, std::optional<float> top = {}, std::optional<float> width = {},
              std::optional<float> height = {});

    [[nodiscard]] bool Visible() const { return visible_; }
    void SetVisible(bool v);
    [[nodiscard]] bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);

    [[nodiscard]] int TabIndex() const { return tab_index_; }
    void SetTabIndex(int v) { tab_index_ = v; }
    [[nodiscard]] virtual bool can_take_focus() const { return false; }
    [[nodiscard]] bool focusable() const;
    // Gives this control the keyboard focus.
    void SetFocus();

    // The native side, while the form is loaded.
    [[nodiscard]] NativeControl* peer() const { return peer_.get(); }

    // For platforms: create / drop the native peer.
    void attach(NativeWindow& window);
    void detach();

protected:
    void changed(Change what);

private:
    Form& form_;
    std::string name_;
    ControlKind kind_;
    float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true;
    bool enabled_ = true;
    int tab_index_ = -1;
    std::unique_ptr<NativeControl> peer_;
};

// Splits "&OK" into its shown text and its access key ('O'), if any.
struct AccessKey {
    std::string text;
    char key = 0;
};
AccessKey parse_access_key(const std::string& caption);

class Label final : public Control {
public:
    Label(Form& owner, std::string name);
    [[nodiscard]] const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);
    [[nodiscard]] Color ForeColor() const { return fore_color_; }
    void SetForeColor(Color c);
    [[nodiscard]] bool Bold() const { return bold_; }
    void SetBold(bool b);

private:
    std::string caption_;
    Color fore_color_ = 0;  // black
    bool bold_ = false;
};

class TextBox final : public Control {
public:
    TextBox(Form& owner, std::string name);
    [[nodiscard]] bool can_take_focus() const override { return true; }

    [[nodiscard]] const std::string& Text() const { return text_; }
    // Sets the text; fires the change event when it differs.
    void SetText(std::string text);
    // Typed characters show as this character (0: shown as typed).
    [[nodiscard]] char PasswordChar() const { return password_char_; }
    void SetPasswordChar(char c);
    // What the box shows on the screen.
    [[nodiscard]] std::string display_text() const;

    std::function<void()> on_change;

private:
    std::string text_;
    char password_char_ = 0;
};

class CommandButton final : public Control {
public:
    CommandButton(Form& owner, std::string name);
    [[nodiscard]] bool can_take_focus() const override { return true; }

    [[nodiscard]] const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);
    [[nodiscard]] bool Default() const { return default_; }
    void SetDefault(bool d);
    [[nodiscard]] bool Cancel() const { return cancel_; }
    void SetCancel(bool c);

    // Presses the button: runs its click handler.
    void Click();
    std::function<void()> on_click;

private:
    std::string caption_;
    bool default_ = false;
    bool cancel_ = false;
};

// An image element: shows a picture, unscaled at its natural size (the
// element takes that size when the picture is assigned) or, with Stretch
// on, scaled into the element's box.
class Image final : public Control {
public:
    Image(Form& owner, std::string name);
    [[nodiscard]] const Picture& GetPicture() const { return picture_; }
    void SetPicture(Picture picture);
    [[nodiscard]] bool Stretch() const { return stretch_; }
    void SetStretch(bool s);

private:
    Picture picture_;
    bool stretch_ = false;
};

// A picture box: a child window with a background colour, a picture and a
// persistent drawing layer.
class PictureBox final : public Control, public Surface {
public:
    PictureBox(Form& owner, std::string name);
    [[nodiscard]] float Width() const override { return Control::Width(); }
    [[nodiscard]] float Height() const override { return Control::Height(); }
    [[nodiscard]] Color FillColor() const override { return fill_color_; }
    void SetFillColor(Color color) override;
    void Circle(float x, float y, float radius, Color color) override;

    [[nodiscard]] Color BackColor() const { return back_color_; }
    void SetBackColor(Color c);
    [[nodiscard]] Color ForeColor() const { return fore_color_; }
    void SetForeColor(Color c);
    [[nodiscard]] const Picture& GetPicture() const { return picture_; }
    void SetPicture(Picture picture);

    // Makes the box a child window of another program's window.
    bool SetParent(ForeignWindow parent);

private:
    Color back_color_ = rgb(255, 255, 255);
    Color fore_color_ = 0;
    Color fill_color_ = 0;
    Picture picture_;
};

// A repeating timer owned by a form; it runs while the form is loaded and
// the timer is enabled. Switching it off and on restarts the interval.
class Timer final {
public:
    Timer(Form& owner, std::string name);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    [[nodiscard]] const std::string& name() const { return name_; }
    [[nodiscard]] int Interval() const { return interval_; }
    void SetInterval(int ms);
    [[nodiscard]] bool Enabled() const { return enabled_; }
    void SetEnabled(bool e);

    std::function<void()> on_timer;

    // For the form: start or stop with the form's load and unload.
    void form_loaded();
    void form_unloaded();

private:
    void restart();
    void fire();
    Form& form_;
    std::string name_;
    int interval_ = 0;
    bool enabled_ = true;
    std::unique_ptr<NativeTimer> native_;
};

// A command of the form's menu bar.
class MenuCommand final {
public:
    MenuCommand(Form& owner, std::string name);
    [[nodiscard]] const std::string& name() const { return name_; }
    [[nodiscard]] const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption) { caption_ = std::move(caption); }
    void Click();
    std::function<void()> on_click;

private:
    std::string name_;
    std::string caption_;
};

// How a form looks before it loads (its designer values).
struct FormDesign {
    std::string caption;
    BorderStyle border = BorderStyle::FixedSingle;
    bool has_menu = false;
    Color back_color = rgb(192, 192, 192);
    std::string font_name = "MS Sans Serif";
    float font_size = 8.25F;
    bool font_bold = false;
    // Either the inner (client) size or the outer size, in twips.
    std::optional<float> client_width, client_height;
    float left = 0, top = 0, width = 4800, height = 3600;
};

// The frame of a classic Windows window at 96 dots per inch: a border of 3
// pixels, a title bar of 19 and, when the form has one, the menu bar. The
// runtimes without frames of their own report it, so that a form's inner
// size is the one it was designed with.
FrameInsets classic_frame(const FormDesign& design, int menu_bar_px = 19);

class Form : public Surface {
public:
    Form(App& app, std::string name);
    ~Form() override;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    [[nodiscard]] App& app() const { return app_; }
    [[nodiscard]] const std::string& name() const { return name_; }
    [[nodiscard]] const FormDesign& design() const { return design_; }

    // --- life cycle
    // Loads the form (creating its window, hidden) unless it is loaded; runs Form_Load.
    void Load();
    [[nodiscard]] bool loaded() const { return loaded_; }
    // Shows the form; modal returns once the form has unloaded.
    void Show(bool modal = false);
    void Hide();
    [[nodiscard]] bool Visible() const { return visible_; }
    // Asks the form to unload: Form_QueryUnload may refuse, then Form_Unload runs.
    UnloadResult Unload(UnloadMode mode = UnloadMode::Code);
    [[nodiscard]] bool modal() const { return modal_; }
    [[nodiscard]] bool input_enabled() const { return input_blocks_ == 0; }

    // --- geometry (outer, twips)
    [[nodiscard]] float Left() const { return left_; }
    [[nodiscard]] float Top() const { return top_; }
    [[nodiscard]] float Width() const override { return width_; }
    [[nodiscard]] float Height() const override { return height_; }
    void SetLeft(float v);
    void SetTop(float v);
    void SetWidth(float v);
    void SetHeight(float v);
    void Move(float left, std::optional<float> top = {}, std::optional<float> width = {},
              std::optional<float> height = {});
    // Inner (client) size in twips.
    [[nodiscard]] float ScaleWidth() const;
    [[nodiscard]] float ScaleHeight() const;

    // --- look
    [[nodiscard]] const std::string& Caption() const { return caption_; }
    void SetCaption(std::string c);
    [[nodiscard]] Color BackColor() const { return back_color_; }
    void SetBackColor(Color c);
    [[nodiscard]] Color FillColor() const override { return fill_color_; }
    void SetFillColor(Color c) override;
    void Circle(float x, float y, float radius, Color color) override;
    // SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE).
    void SetTopMost();
    void Minimize();

    // --- controls
    [[nodiscard]] const std::vector<Control*>& controls() const { return controls_; }
    [[nodiscard]] const std::vector<Timer*>& timers() const { return timers_; }
    [[nodiscard]] const std::vector<MenuCommand*>& menu() const { return menu_; }
    [[nodiscard]] Control* ActiveControl() const { return active_control_; }
    [[nodiscard]] NativeWindow* peer() const { return peer_.get(); }

    // --- events from the platform
    // A key pressed while this form is active: Tab moves the focus, Enter
    // presses the focused or default button, Esc the cancel button, F1 opens
    // help, Alt+letter an access key; other keys go to Form_KeyDown when no
    // control has the focus.
    void deliver_key_down(std::int16_t key, std::int16_t shift_state);
    void deliver_mouse_down(std::int16_t button, std::int16_t shift_state, float x, float y);
    // A mouse move at (x, y), twips in the inner area. Only real movement is
    // a move: an event at the point of the screen where the pointer already
    // was (systems send one when a window appears or moves under a still
    // pointer, or repeat one) is dropped. Where the pointer was when the
    // form was shown, took input again, or the desktop changed is the
    // reference from then on.
    void deliver_mouse_move(std::int16_t button, std::int16_t shift_state, float x, float y);
    void deliver_dbl_click();
    void deliver_paint();
    // The screen's size or arrangement changed. The system may have moved the
    // pointer (off a monitor that went away): where it is now is no move.
    void deliver_display_changed();
    // The platform learns only now where the pointer is (it could not say
    // when the form was shown): where it is now is no move. A form whose
    // input is blocked takes its reference as it is unblocked.
    void deliver_pointer_known();
    // The user closed the window (title-bar close, Alt+F4, system close command).
    void deliver_close();
    // The platform moved the focus to `control` (or to the form, nullptr).
    void focus_changed(Control* control);
    // The platform made this form the active window.
    void activated();

    // For controls and timers.
    void register_control(Control& c);
    void unregister_control(Control& c);
    void register_timer(Timer& t);
    void unregister_timer(Timer& t);
    void register_menu(MenuCommand& m);
    void block_input();
    void unblock_input();

protected:
    virtual void Form_Load() {}
    virtual void Form_QueryUnload(std::int16_t& cancel, std::int16_t unload_mode) {
        (void)cancel;
        (void)unload_mode;
    }
    virtual void Form_Unload(std::int16_t& cancel) { (void)cancel; }
    virtual void Form_KeyDown(std::int16_t key_code, std::int16_t shift_state) {
        (void)key_code;
        (void)shift_state;
    }
    virtual void Form_MouseDown(std::int16_t button, std::int16_t shift_state, float x, float y) {
        (void)button, (void)shift_state, (void)x, (void)y;
    }
    virtual void Form_MouseMove(std::int16_t button, std::int16_t shift_state, float x, float y) {
        (void)button, (void)shift_state, (void)x, (void)y;
    }
    virtual void Form_DblClick() {}
    virtual void Form_Paint() {}
    virtual void Form_DisplayChanged() {}

    FormDesign design_;

private:
    void changed(Change what);
    void move_focus(bool backwards);
    [[nodiscard]] std::vector<Control*> tab_order() const;

    App& app_;
    std::string name_;
    std::unique_ptr<NativeWindow> peer_;
    bool loaded_ = false;
    bool loading_ = false;
    bool visible_ = false;
    bool modal_ = false;
    int input_blocks_ = 0;
    float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    std::string caption_;
    Color back_color_ = 0;
    Color fill_color_ = 0;
    std::vector<Control*> controls_;
    std::vector<Timer*> timers_;
    std::vector<MenuCommand*> menu_;
    Control* active_control_ = nullptr;
    // Where the pointer was last seen, in screen pixels: a move of the form
    // itself shifts the inner area under a still pointer, not the screen.
    std::optional<PixelPoint> pointer_;

    // Takes the pointer's position now as the reference for real movement.
    void remember_pointer();
};

}  // namespace vellora::rt
