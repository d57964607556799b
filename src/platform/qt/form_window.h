// The native window of a form on Qt: a top-level QWidget (with a menu bar
// when designed so) whose client area paints the form's persistent drawing
// layer (the back colour and the circles) and its images over it. The other
// controls are Qt widgets placed in the client area (controls.h). Qt's
// events reach the form through the failure boundary.
#pragma once

#include <QImage>
#include <QPainter>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "platform/qt/platform.h"
#include "runtime/compose.h"
#include "runtime/form.h"
#include "runtime/platform.h"

class QMenuBar;
class QWindow;

namespace vellora::qt {

class ClientWidget;

QColor to_qcolor(rt::Color color);

// A control's box in its form's client area, placed by the runtime's
// rounding rule: in the runtime's (device) pixels, where images and the
// drawing layer are composed, and in Qt's logical pixels, where a control's
// widget goes.
rt::PixelRect pixel_rect(const rt::Control& control);
QRect pixel_box(const rt::Control& control);
QRect to_qrect(const rt::PixelRect& r);
rt::PixelRect to_pixel_rect(const QRect& r);
rt::PixelRects to_pixel_rects(const QRegion& region);
// Device pixels and logical ones: the exact logical rectangle of a device
// one, the smallest logical one that covers it, and the device pixels a
// logical region touches, in rectangles that do not overlap.
QRectF logical_rect(const rt::PixelRect& device);
QRect logical_cover(const rt::PixelRect& device);
rt::PixelRects device_rects(const QRegion& region);

// The persistent drawing layer of a form or a picture box: an off-screen
// image of the back colour (and of a picture box's picture) that circles
// are drawn on, in device pixels, so that a circle's outline is one pixel
// of the screen and a picture lies on the screen's pixels one to one. It
// only grows, keeping what was drawn; a new back colour or picture starts
// it again. Circles come in bursts of a couple of hundred: one painter
// serves a burst, and the pixels they touched are shown with one repaint
// once the burst is over.
class DrawingLayer {
public:
    // `show` repaints a part (logical pixels) of what the layer lies under
    // (its pixels are the layer's), from the event loop and only while
    // `context` lives.
    DrawingLayer(rt::SystemServices& services, QObject& context, std::function<void(const QRect&)> show);
    // Grows to hold a widget of `size` (logical pixels); the new pixels are `background`.
    void grow(const QSize& size, rt::Color background);
    // Starts again: the back colour and, at its own size in the top-left
    // corner, the picture.
    void clear(rt::Color background, const QImage* picture = nullptr);
    // A filled disc with a 1-pixel outline; centre and radius in twips.
    void circle(float x, float y, float radius, rt::Color outline, rt::Color fill);
    // Copies the layer's pixels in `parts` (device pixels) to the same
    // places of `painter`.
    void paint(QPainter& painter, const rt::PixelRects& parts);
    [[nodiscard]] rt::PixelRect rect() const { return {0, 0, image_.width(), image_.height()}; }

private:
    void end_burst() { painter_.reset(); }

    rt::SystemServices& services_;
    QObject& context_;
    std::function<void(const QRect&)> show_;
    QImage image_;
    std::unique_ptr<QPainter> painter_;  // open while a burst of circles is drawn
    QRect pending_;                      // drawn but not shown yet
};

class FormWidget final : public QWidget {
public:
    FormWidget(QtWindowSystem& windows, rt::Form& form);
    ~FormWidget() override;
    FormWidget(const FormWidget&) = delete;
    FormWidget& operator=(const FormWidget&) = delete;

    // The form, or nullptr once its window is gone.
    [[nodiscard]] rt::Form* form() const { return form_; }
    void detach() { form_ = nullptr; }
    [[nodiscard]] QtWindowSystem& windows() const { return windows_; }
    // The area under the menu bar, where the controls live.
    [[nodiscard]] QWidget* client() const;
    [[nodiscard]] int menu_height() const;  // logical pixels
    [[nodiscard]] int menu_pixels() const;  // device pixels

    void apply_geometry();
    // The designed font in the face that suits the device pixel ratio the
    // window shows at now (platform.h, face_for).
    void apply_font();
    void apply_text();
    void apply_colors();
    void draw_circle(float x, float y, float radius, rt::Color outline, rt::Color fill);
    // Paints the form's content (the drawing layer and the images over it)
    // in `region` of the client area.
    void paint_content(QPainter& painter, const QRegion& region);
    // Shows a part of the content (client pixels) anew.
    void repaint_content(const QRect& part);
    void set_input_enabled(bool enabled) { input_enabled_ = enabled; }
    [[nodiscard]] bool takes_input() const;

    // Controls of this form, for keys, focus and the double-click test.
    void add_control(QWidget* widget, rt::Control* control);
    void remove_control(QWidget* widget);
    [[nodiscard]] rt::Control* control_of(QObject* widget) const;
    [[nodiscard]] bool over_control(const QPoint& client_pos) const;

    // Hack mode: live inside another program's window, at its size.
    void embed_into(std::uint32_t window);
    void host_resized(int width, int height);

    // Twips from client pixels (logical, as Qt's events give them).
    [[nodiscard]] static float twips_x(double px);
    [[nodiscard]] static float twips_y(double px);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Sets `filtered` (the event stops here) before the form hears of it.
    void filter_event(QObject* watched, QEvent* event, bool& filtered);
    void handle_key(QObject* watched, QKeyEvent* event, bool& filtered);
    [[nodiscard]] rt::Color back_color() const;

    QtWindowSystem& windows_;
    rt::Form* form_;
    QMenuBar* menu_ = nullptr;
    ClientWidget* client_ = nullptr;
    DrawingLayer layer_;
    bool input_enabled_ = true;
    std::map<QObject*, rt::Control*> controls_;
    QWindow* host_ = nullptr;
};

// The runtime's peer of one form.
class FormWindow final : public rt::NativeWindow {
public:
    FormWindow(QtWindowSystem& windows, rt::Form& form);
    ~FormWindow() override;
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;

    std::unique_ptr<rt::NativeControl> create_control(rt::Control& control) override;
    void update(rt::Change what) override;
    [[nodiscard]] rt::FrameInsets frame() const override;
    void show(bool modal) override;
    void hide() override;
    void set_topmost() override;
    void set_input_enabled(bool enabled) override;
    void minimize() override;
    void draw_circle(float x, float y, float radius, rt::Color outline, rt::Color fill) override;
    [[nodiscard]] std::uintptr_t handle() const override;

private:
    void trace_shown(bool modal);

    QtWindowSystem& windows_;
    rt::Form& form_;
    FormWidget* widget_;
};

}  // namespace vellora::qt
