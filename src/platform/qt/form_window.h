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
#include "runtime/form.h"
#include "runtime/platform.h"

class QMenuBar;
class QWindow;

namespace vellora::qt {

class ClientWidget;

QColor to_qcolor(rt::Color color);

// A control's box in its form's client pixels (placed by the runtime's rounding rule).
QRect pixel_box(const rt::Control& control);

// Draws one circle: filled with `fill`, a 1-pixel outline in `outline` (pixels).
void paint_circle(QPainter& painter, double cx, double cy, double r, rt::Color outline, rt::Color fill);
// The pixels a circle may touch.
QRect circle_bounds(double cx, double cy, double r);
// Circles come in bursts of a couple of hundred: their bounds are gathered
// into `pending` and the widget repaints them once, after the burst.
// `before` runs first (the burst's painter is ended there).
void repaint_later(rt::SystemServices& services, QWidget& widget, QRect& pending, const QRect& bounds,
                   std::function<void()> before = {});

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
    [[nodiscard]] int menu_height() const;

    void apply_geometry();
    void apply_text();
    void apply_colors();
    void draw_circle(float x, float y, float radius, rt::Color outline, rt::Color fill);
    // Paints the client area: the drawing layer, then the images over it.
    void paint_client(QPainter& painter, const QRegion& region);
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

    // Twips from client pixels.
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
    void resize_layer(const QSize& size);
    void end_layer_painting();

    QtWindowSystem& windows_;
    rt::Form* form_;
    QMenuBar* menu_ = nullptr;
    ClientWidget* client_ = nullptr;
    QImage layer_;
    std::unique_ptr<QPainter> layer_painter_;  // open while a burst of circles is drawn
    QRect pending_circles_;  // circles drawn but not yet repainted
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
