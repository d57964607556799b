// The native side of forms and controls on Qt: a form is a top-level
// QWidget (with a menu bar when designed so) whose client area paints the
// back colour and the persistent drawing layer; controls are Qt widgets
// placed absolutely in that client area.
#pragma once

#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QWidget>
#include <map>
#include <memory>

#include "runtime/form.h"
#include "runtime/platform.h"

class QMenuBar;
class QWindow;

namespace vellora::qt {

class QtPlatform;
class ClientWidget;

class FormWidget final : public QWidget {
public:
    FormWidget(QtPlatform& platform, rt::Form& form);
    ~FormWidget() override;
    FormWidget(const FormWidget&) = delete;
    FormWidget& operator=(const FormWidget&) = delete;

    // The form, or nullptr once its peer is gone.
    [[nodiscard]] rt::Form* form() const { return form_; }
    void detach() { form_ = nullptr; }
    [[nodiscard]] QtPlatform& platform() const { return platform_; }
    [[nodiscard]] ClientWidget* client() const { return client_; }
    [[nodiscard]] int menu_height() const;

    void apply_geometry();
    void apply_text();
    void apply_colors();
    void draw_circle(float x, float y, float radius, rt::Color outline, rt::Color fill);
    [[nodiscard]] const QImage& layer() const { return layer_; }
    // Paints the client area: the drawing layer, then the images over it.
    void paint_client(QPainter& painter, const QRegion& region);
    // An image's box in client pixels.
    [[nodiscard]] QRect image_box(const rt::Control& image) const;
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
    [[nodiscard]] float twips_x(double px) const;
    [[nodiscard]] float twips_y(double px) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool handle_key(QObject* watched, QKeyEvent* event);
    void resize_layer(const QSize& size);
    void end_layer_painting();

    QtPlatform& platform_;
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
std::unique_ptr<rt::NativeWindow> make_window_peer(QtPlatform& platform, rt::Form& form);
// The runtime's peer of one repeating timer.
std::unique_ptr<rt::NativeTimer> make_timer_peer(QtPlatform& platform, std::function<void()> tick);

}  // namespace vellora::qt
