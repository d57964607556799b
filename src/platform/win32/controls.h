// The native side of each kind of control: labels, text boxes and command
// buttons as standard STATIC, EDIT and BUTTON windows, images painted by
// their form, picture boxes as windows of their own with a drawing layer.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "platform/win32/form_window.h"

namespace vellora::win32 {

// The peer of the control's kind.
std::unique_ptr<rt::NativeControl> make_control_peer(FormWindow& window, rt::Control& control);

// A control with a child window of its own on the form.
class ChildPeer : public rt::NativeControl, public ChildWindow {
public:
    ChildPeer(FormWindow& window, rt::Control& control) : window_(window), control_(control) {}
    ~ChildPeer() override { destroy(); }
    ChildPeer(const ChildPeer&) = delete;
    ChildPeer& operator=(const ChildPeer&) = delete;

    // rt::NativeControl
    void update(rt::Change what) override;
    void focus() override;
    void draw_circle(float, float, float, rt::Color, rt::Color) override {}
    bool set_parent(rt::ForeignWindow) override { return false; }

    // ChildWindow
    [[nodiscard]] rt::Control& control() const override { return control_; }
    void notify(int) override {}
    HBRUSH colors(HDC) override { return nullptr; }

    [[nodiscard]] HWND hwnd() const { return hwnd_; }

protected:
    void create(const char* window_class, DWORD style, DWORD ex_style, const std::string& text);
    void destroy();
    void set_font(bool bold);
    virtual void place();
    // What changed besides geometry, visibility and the enabled state.
    virtual void refresh(rt::Change what) = 0;

    FormWindow& window_;
    rt::Control& control_;
    HWND hwnd_ = nullptr;
};

class LabelPeer final : public ChildPeer {
public:
    LabelPeer(FormWindow& window, rt::Label& label);
    HBRUSH colors(HDC dc) override;

private:
    void refresh(rt::Change what) override;
    rt::Label& label_;
};

class TextBoxPeer final : public ChildPeer {
public:
    TextBoxPeer(FormWindow& window, rt::TextBox& box);
    // EN_SETFOCUS, EN_CHANGE: what the user typed becomes the box's text.
    void notify(int code) override;

private:
    void refresh(rt::Change what) override;
    void apply_password_char();
    rt::TextBox& box_;
};

class CommandButtonPeer final : public ChildPeer {
public:
    CommandButtonPeer(FormWindow& window, rt::CommandButton& button);
    // BN_SETFOCUS, BN_CLICKED.
    void notify(int code) override;

private:
    void refresh(rt::Change what) override;
    [[nodiscard]] DWORD style() const;
    rt::CommandButton& button_;
};

// Images have no window of their own: the form paints them. A change
// repaints only where the image was and where it is now.
class ImagePeer final : public rt::NativeControl {
public:
    ImagePeer(FormWindow& window, rt::Image& image);
    ~ImagePeer() override;
    ImagePeer(const ImagePeer&) = delete;
    ImagePeer& operator=(const ImagePeer&) = delete;
    void update(rt::Change what) override;
    void focus() override {}
    void draw_circle(float, float, float, rt::Color, rt::Color) override {}
    bool set_parent(rt::ForeignWindow) override { return false; }

private:
    FormWindow& window_;
    rt::Image& image_;
    RECT box_;  // where the image was last painted, in client pixels
};

// A picture box: a child window with its own drawing layer; the picture
// is its background. It can move into another program's window, and goes
// when that window goes.
class PictureBoxPeer final : public ChildPeer {
public:
    PictureBoxPeer(FormWindow& window, rt::PictureBox& box);
    ~PictureBoxPeer() override;
    PictureBoxPeer(const PictureBoxPeer&) = delete;
    PictureBoxPeer& operator=(const PictureBoxPeer&) = delete;
    void draw_circle(float x, float y, float radius, rt::Color outline, rt::Color fill) override;
    bool set_parent(rt::ForeignWindow parent) override;
    [[nodiscard]] const DrawingLayer& layer() const { return layer_; }

    static LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

private:
    void refresh(rt::Change what) override;
    void place() override;
    void paint();
    LRESULT handle(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    [[nodiscard]] std::pair<int, int> pixel_size() const;
    // The background colour with the picture over it; earlier drawing is gone.
    void rebuild();

    rt::PictureBox& box_;
    DrawingLayer layer_;
    PendingRepaint circles_;
};

}  // namespace vellora::win32
