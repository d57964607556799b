// The native side of each kind of control on Qt. Labels, text boxes,
// command buttons and picture boxes are Qt widgets in their form's client
// area; an image has no widget: its form paints it (form_window.h).
#pragma once

#include <QMetaObject>
#include <QPointer>
#include <QRect>
#include <memory>
#include <vector>

#include "runtime/compose.h"
#include "runtime/form.h"
#include "runtime/platform.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
class QWindow;

namespace vellora::qt {

class BoxWidget;
class FormWidget;
class QtWindowSystem;

// The peer of `control` on its form's window.
std::unique_ptr<rt::NativeControl> make_control_peer(FormWidget& owner, rt::Control& control);

// What the controls with a widget share: the widget's place, visibility,
// enabled state and focus, its filter on the form, a move into another
// program's window, and its burial.
class WidgetPeer : public rt::NativeControl {
public:
    ~WidgetPeer() override;
    WidgetPeer(const WidgetPeer&) = delete;
    WidgetPeer& operator=(const WidgetPeer&) = delete;

    void update(rt::Change what) override;
    void focus() override;
    void draw_circle(float x, float y, float radius, rt::Color outline, rt::Color fill) override;
    bool set_parent(rt::ForeignWindow parent) override;

protected:
    WidgetPeer(FormWidget& owner, rt::Control& control, QWidget* widget);
    // Text, style and colours of the control onto its widget.
    virtual void apply_look(rt::Change what) = 0;
    [[nodiscard]] QtWindowSystem& windows() const;

    FormWidget& owner_;
    rt::Control& control_;
    QWidget* widget_;
    QWindow* host_ = nullptr;  // the other program's window it lives in
    std::vector<QMetaObject::Connection> connections_;
};

class LabelPeer final : public WidgetPeer {
public:
    LabelPeer(FormWidget& owner, rt::Label& label);

private:
    void apply_look(rt::Change what) override;
    rt::Label& label_;
    QLabel* widget_label_;
};

class TextBoxPeer final : public WidgetPeer {
public:
    TextBoxPeer(FormWidget& owner, rt::TextBox& box);

private:
    void apply_look(rt::Change what) override;
    void edit_text_from_model();
    void trace_text();
    rt::TextBox& box_;
    QLineEdit* edit_;
    std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);  // gone with the peer
};

class ButtonPeer final : public WidgetPeer {
public:
    ButtonPeer(FormWidget& owner, rt::CommandButton& button);

private:
    void apply_look(rt::Change what) override;
    rt::CommandButton& button_;
    QPushButton* push_;
};

// A picture box: its back colour, its picture and its own drawing layer.
class PictureBoxPeer final : public WidgetPeer {
public:
    PictureBoxPeer(FormWidget& owner, rt::PictureBox& box);
    ~PictureBoxPeer() override;
    PictureBoxPeer(const PictureBoxPeer&) = delete;
    PictureBoxPeer& operator=(const PictureBoxPeer&) = delete;

    void draw_circle(float x, float y, float radius, rt::Color outline, rt::Color fill) override;

private:
    void apply_look(rt::Change what) override;
    BoxWidget* box_;
};

// An image: painted by its form over the drawing layer. A change repaints
// only where the image was and where it is now.
class ImagePeer final : public rt::NativeControl {
public:
    ImagePeer(FormWidget& owner, rt::Image& image);
    ~ImagePeer() override;
    ImagePeer(const ImagePeer&) = delete;
    ImagePeer& operator=(const ImagePeer&) = delete;

    void update(rt::Change what) override;
    void focus() override {}
    void draw_circle(float, float, float, rt::Color, rt::Color) override {}
    bool set_parent(rt::ForeignWindow) override { return false; }

private:
    void repaint(const rt::PixelRect& box);
    QPointer<FormWidget> owner_;
    rt::Image& image_;
    rt::PixelRect box_;  // where the image was last painted, in client pixels
};

}  // namespace vellora::qt
