#include "platform/qt/form_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainterPath>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "platform/qt/controls.h"
#include "platform/qt/hack_mode.h"
#include "platform/qt/keys.h"
#include "platform/qt/pictures.h"
#include "runtime/failure.h"
#include "runtime/keys.h"

namespace vellora::qt {

// ====================================================================== helpers

QColor to_qcolor(rt::Color color) { return {rt::red_of(color), rt::green_of(color), rt::blue_of(color)}; }

QRect to_qrect(const rt::PixelRect& r) { return {r.left, r.top, r.width(), r.height()}; }

rt::PixelRect to_pixel_rect(const QRect& r) { return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }

rt::PixelRect pixel_rect(const rt::Control& control) {
    return rt::pixel_box(control, QtWindowSystem::twips_per_pixel_x(), QtWindowSystem::twips_per_pixel_y());
}

QRect pixel_box(const rt::Control& control) {
    return to_qrect(rt::pixel_box(control, QtWindowSystem::logical_twips_per_pixel_x(),
                                  QtWindowSystem::logical_twips_per_pixel_y()));
}

rt::PixelRects to_pixel_rects(const QRegion& region) {
    rt::PixelRects rects;
    rects.reserve(static_cast<std::size_t>(region.rectCount()));
    for (const QRect& r : region) rects.push_back(to_pixel_rect(r));
    return rects;
}

namespace {

// The pixel edge at or before, or at or after, a coordinate; a coordinate
// within a rounding error of an edge is that edge.
int edge_before(double at) { return static_cast<int>(std::floor(at + 1e-6)); }
int edge_after(double at) { return static_cast<int>(std::ceil(at - 1e-6)); }

}  // namespace

QRectF logical_rect(const rt::PixelRect& device) {
    const double r = QtWindowSystem::device_pixel_ratio();
    return {device.left / r, device.top / r, device.width() / r, device.height() / r};
}

QRect logical_cover(const rt::PixelRect& device) {
    const double r = QtWindowSystem::device_pixel_ratio();
    return QRect(QPoint(edge_before(device.left / r), edge_before(device.top / r)),
                 QPoint(edge_after(device.right / r) - 1, edge_after(device.bottom / r) - 1));
}

rt::PixelRects device_rects(const QRegion& region) {
    const double r = QtWindowSystem::device_pixel_ratio();
    if (r == 1.0) return to_pixel_rects(region);
    QRegion device;
    for (const QRect& part : region) {
        device += QRect(QPoint(edge_before(part.left() * r), edge_before(part.top() * r)),
                        QPoint(edge_after((part.left() + part.width()) * r) - 1,
                               edge_after((part.top() + part.height()) * r) - 1));
    }
    return to_pixel_rects(device);
}

namespace {

// Draws one circle: filled with `fill`, a 1-pixel outline in `outline` (pixels).
void paint_circle(QPainter& p, double cx, double cy, double r, rt::Color outline, rt::Color fill) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setBrush(to_qcolor(fill));
    if (outline == fill && r >= 0.5) {
        // A disc of one colour: its outline is the rim of a disc half a
        // pixel larger, filled without stroking a path (twice as fast).
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(cx, cy), r + 0.5, r + 0.5);
        return;
    }
    p.setPen(QPen(to_qcolor(outline), 0));
    if (r < 0.5) {
        p.drawPoint(QPointF(cx, cy));
    } else {
        p.drawEllipse(QPointF(cx, cy), r, r);
    }
}

// The pixels a circle may touch.
QRect circle_bounds(double cx, double cy, double r) {
    const int x0 = static_cast<int>(std::floor(cx - r)) - 2;
    const int y0 = static_cast<int>(std::floor(cy - r)) - 2;
    const int d = static_cast<int>(std::ceil(2 * r)) + 5;
    return {x0, y0, d, d};
}

// Only a picture without an alpha channel hides what lies beneath it.
std::optional<rt::PictureLook> look(const rt::PictureData& picture) {
    const QImage* image = decoded_pixels(picture);
    if (image == nullptr) return std::nullopt;
    return rt::PictureLook{image->width(), image->height(), !image->hasAlphaChannel()};
}

// An image's picture in `parts` (device pixels): stretched into its box, or
// at its own size from the box's corner, each of its pixels on one of the
// device's.
void paint_image(QPainter& painter, const rt::ShownImage& shown, const rt::PixelRects& parts) {
    const QImage* picture = parts.empty() ? nullptr : decoded_pixels(*shown.image->GetPicture());
    if (picture == nullptr) return;
    const QRect box = to_qrect(shown.element.box);
    if (shown.image->Stretch()) {
        QPainterPath clip;
        for (const auto& r : parts) clip.addRect(logical_rect(r));
        painter.save();
        painter.setClipPath(clip);
        painter.drawImage(logical_rect(shown.element.box), *picture);
        painter.restore();
        return;
    }
    for (const auto& r : parts) {
        painter.drawImage(logical_rect(r), *picture, QRectF(to_qrect(r).translated(-box.topLeft())));
    }
}

}  // namespace

// ====================================================================== drawing layer

DrawingLayer::DrawingLayer(rt::SystemServices& services, QObject& context, std::function<void(const QRect&)> show)
    : services_(services), context_(context), show_(std::move(show)) {}

void DrawingLayer::grow(const QSize& logical, rt::Color background) {
    const double ratio = QtWindowSystem::device_pixel_ratio();
    const QSize size(edge_after(logical.width() * ratio), edge_after(logical.height() * ratio));
    if (size.isEmpty() || (image_.width() >= size.width() && image_.height() >= size.height())) return;
    end_burst();
    QImage grown(size.expandedTo(image_.size()), QImage::Format_RGB32);
    grown.fill(to_qcolor(background));
    if (!image_.isNull()) {
        QPainter p(&grown);
        p.drawImage(0, 0, image_);
    }
    image_ = std::move(grown);
}

void DrawingLayer::clear(rt::Color background, const QImage* picture) {
    end_burst();
    image_.fill(to_qcolor(background));
    if (picture != nullptr && !image_.isNull()) {
        QPainter p(&image_);
        p.drawImage(0, 0, *picture);
    }
}

void DrawingLayer::circle(float x, float y, float radius, rt::Color outline, rt::Color fill) {
    if (image_.isNull()) return;
    const double cx = static_cast<double>(x / QtWindowSystem::twips_per_pixel_x());
    const double cy = static_cast<double>(y / QtWindowSystem::twips_per_pixel_y());
    const double r = static_cast<double>(radius / QtWindowSystem::twips_per_pixel_x());
    // One painter serves a whole burst; it ends before the burst is shown.
    if (!painter_) painter_ = std::make_unique<QPainter>(&image_);
    paint_circle(*painter_, cx, cy, r, outline, fill);
    if (pending_.isEmpty()) {
        QMetaObject::invokeMethod(
            &context_,
            [this] {
                rt::guarded(services_, [this] {
                    end_burst();
                    show_(logical_cover(to_pixel_rect(std::exchange(pending_, QRect()))));
                });
            },
            Qt::QueuedConnection);
    }
    pending_ |= circle_bounds(cx, cy, r);
}

void DrawingLayer::paint(QPainter& painter, const rt::PixelRects& parts) {
    end_burst();
    for (const auto& r : parts) painter.drawImage(logical_rect(r), image_, QRectF(to_qrect(r)));
}

// ====================================================================== client area

class ClientWidget final : public QWidget {
public:
    explicit ClientWidget(FormWidget& owner) : QWidget(&owner), owner_(owner) {
        setMouseTracking(true);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        rt::guarded(services(), [&] {
            {
                QPainter p(this);
                owner_.paint_content(p, event->region());
            }
            if (!painted_ && owner_.form() != nullptr) {
                painted_ = true;
                owner_.windows().trace().line("first paint " + owner_.form()->name());
            }
            if (owner_.form() != nullptr) {
                // Form_Paint runs after the window has drawn itself.
                QTimer::singleShot(0, this, [this] {
                    rt::guarded(services(), [this] {
                        if (auto* form = owner_.form()) form->deliver_paint();
                    });
                });
            }
        });
    }
    void mousePressEvent(QMouseEvent* e) override {
        rt::guarded(services(), [&] {
            auto* form = owner_.form();
            if (form == nullptr || !owner_.takes_input()) return;
            form->deliver_mouse_down(mouse_button_of(e->button()), shift_state_of(e->modifiers()),
                                     FormWidget::twips_x(e->position().x()), FormWidget::twips_y(e->position().y()));
        });
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        rt::guarded(services(), [&] {
            auto* form = owner_.form();
            if (form == nullptr || !owner_.takes_input()) return;
            form->deliver_mouse_move(mouse_buttons_of(e->buttons()), shift_state_of(e->modifiers()),
                                     FormWidget::twips_x(e->position().x()), FormWidget::twips_y(e->position().y()));
        });
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        rt::guarded(services(), [&] {
            auto* form = owner_.form();
            if (form == nullptr || !owner_.takes_input()) return;
            if (owner_.over_control(e->position().toPoint())) return;
            form->deliver_dbl_click();
        });
    }

private:
    [[nodiscard]] rt::SystemServices& services() const { return owner_.windows().services(); }

    FormWidget& owner_;
    bool painted_ = false;
};

// ====================================================================== form widget

FormWidget::FormWidget(QtWindowSystem& windows, rt::Form& form)
    : windows_(windows), form_(&form),
      layer_(windows.services(), *this, [this](const QRect& part) { repaint_content(part); }) {
    const auto& design = form.design();
    Qt::WindowFlags flags = Qt::Window;
    if (design.border == rt::BorderStyle::None) {
        flags |= Qt::FramelessWindowHint;
    } else {
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
        if (design.border == rt::BorderStyle::FixedSingle) flags |= Qt::WindowMinimizeButtonHint;
    }
    setWindowFlags(flags);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_DeleteOnClose, false);
    apply_font();
    client_ = new ClientWidget(*this);
    if (design.has_menu) {
        menu_ = new QMenuBar(this);
        menu_->setNativeMenuBar(false);
        for (auto* command : form.menu()) {
            auto* action = menu_->addAction(QString::fromStdString(rt::parse_access_key(command->Caption()).text));
            QObject::connect(action, &QAction::triggered, this, [this, command] {
                rt::guarded(windows_.services(), [&] {
                    if (takes_input()) command->Click();
                });
            });
        }
    }
    installEventFilter(this);
    if (windows_.hack_mode()) setAttribute(Qt::WA_TransparentForMouseEvents);
}

FormWidget::~FormWidget() {
    windows_.forget_window(this);
    if (host_ != nullptr) windows_.bury(host_);  // after this window, which lives inside it
}

QWidget* FormWidget::client() const { return client_; }

int FormWidget::menu_height() const { return menu_ == nullptr ? 0 : menu_->sizeHint().height(); }

bool FormWidget::takes_input() const {
    return form_ != nullptr && input_enabled_ && !windows_.hack_mode() && form_->input_enabled();
}

float FormWidget::twips_x(double px) { return rt::pixels_to_twips(px, QtWindowSystem::logical_twips_per_pixel_x()); }
float FormWidget::twips_y(double px) { return rt::pixels_to_twips(px, QtWindowSystem::logical_twips_per_pixel_y()); }

int FormWidget::menu_pixels() const {
    return static_cast<int>(std::lround(menu_height() * QtWindowSystem::device_pixel_ratio()));
}

void FormWidget::apply_geometry() {
    if (form_ == nullptr) return;
    const float tx = QtWindowSystem::twips_per_pixel_x();
    const float ty = QtWindowSystem::twips_per_pixel_y();
    const double ratio = QtWindowSystem::device_pixel_ratio();
    const auto insets = form_->peer() != nullptr ? form_->peer()->frame() : rt::FrameInsets{};
    // The widget is the window less its border and title bar; the menu bar
    // is inside it. The runtime's pixels are device pixels; Qt places
    // windows in logical ones.
    const int left = rt::twips_to_pixels(form_->Left(), tx);
    const int top = rt::twips_to_pixels(form_->Top(), ty);
    const rt::PixelRect device{
        left, top, left + std::max(1, rt::twips_to_pixels(form_->Width(), tx) - insets.left - insets.right),
        top + std::max(1, rt::twips_to_pixels(form_->Height(), ty) - (insets.top - menu_pixels()) - insets.bottom)};
    QRect logical;
    if (form_->design().border == rt::BorderStyle::None) {
        // A borderless window (the saver) covers every device pixel of its
        // area, at a fractional ratio too: no seam at the screen's edges.
        logical = logical_cover(device);
    } else {
        const auto nearest = [ratio](int px) { return static_cast<int>(std::lround(px / ratio)); };
        logical = QRect(nearest(device.left), nearest(device.top), nearest(device.width()), nearest(device.height()));
    }
    logical.setSize(logical.size().expandedTo(QSize(1, 1)));
    if (host_ != nullptr) {
        setGeometry(0, 0, logical.width(), logical.height());
    } else {
        // Positions count from the primary screen's top-left corner.
        move(QtWindowSystem::origin() + logical.topLeft());
        if (form_->design().border == rt::BorderStyle::None) {
            resize(logical.size());
        } else {
            setFixedSize(logical.size());
        }
    }
}

void FormWidget::apply_font() {
    if (form_ == nullptr) return;
    const auto& design = form_->design();
    QFont font(QtWindowSystem::face_for(design.font_name, devicePixelRatioF()));
    font.setPointSizeF(static_cast<double>(design.font_size));
    font.setBold(design.font_bold);
    if (font != this->font() || !testAttribute(Qt::WA_SetFont)) setFont(font);
}

void FormWidget::apply_text() {
    if (form_ != nullptr) setWindowTitle(QString::fromStdString(form_->Caption()));
}

rt::Color FormWidget::back_color() const { return form_ != nullptr ? form_->BackColor() : rt::Color{0}; }

void FormWidget::apply_colors() {
    if (form_ == nullptr) return;
    // A new back colour clears the drawing layer.
    layer_.clear(form_->BackColor());
    client_->update();
}

void FormWidget::resizeEvent(QResizeEvent* event) {
    rt::guarded(windows_.services(), [&] {
        QWidget::resizeEvent(event);
        const int menu = menu_height();
        if (menu_ != nullptr) menu_->setGeometry(0, 0, width(), menu);
        client_->setGeometry(0, menu, width(), std::max(0, height() - menu));
        layer_.grow(client_->size(), back_color());
    });
}

void FormWidget::paint_content(QPainter& painter, const QRegion& region) {
    // What shows where is the runtime's rule; here the pixels are only copied.
    std::vector<rt::ShownImage> shown;
    if (form_ != nullptr) {
        shown = rt::shown_images(*form_, QtWindowSystem::twips_per_pixel_x(), QtWindowSystem::twips_per_pixel_y(), look);
    }
    const rt::Composition parts = rt::compose(device_rects(region), layer_.rect(), shown);
    layer_.paint(painter, parts.layer);
    for (const auto& r : parts.background) painter.fillRect(logical_rect(r), to_qcolor(back_color()));
    for (std::size_t i = 0; i < shown.size(); ++i) paint_image(painter, shown[i], parts.elements[i]);
}

void FormWidget::repaint_content(const QRect& part) { client_->update(part); }

void FormWidget::draw_circle(float x, float y, float radius, rt::Color outline, rt::Color fill) {
    layer_.grow(client_->size(), back_color());
    layer_.circle(x, y, radius, outline, fill);
}

void FormWidget::add_control(QWidget* widget, rt::Control* control) {
    controls_[widget] = control;
    widget->installEventFilter(this);
}

void FormWidget::remove_control(QWidget* widget) {
    controls_.erase(widget);
    widget->removeEventFilter(this);
}

rt::Control* FormWidget::control_of(QObject* widget) const {
    auto it = controls_.find(widget);
    return it == controls_.end() ? nullptr : it->second;
}

bool FormWidget::over_control(const QPoint& client_pos) const {
    if (form_ != nullptr) {
        for (const auto* c : form_->controls()) {
            if (c->kind() == rt::ControlKind::Image && c->Visible() && pixel_box(*c).contains(client_pos)) return true;
        }
    }
    for (const auto& [widget, control] : controls_) {
        const auto* w = qobject_cast<const QWidget*>(widget);
        if (w != nullptr && w->isVisible() && w->parentWidget() == client_ && w->geometry().contains(client_pos)) {
            return true;
        }
    }
    return false;
}

void FormWidget::embed_into(std::uint32_t window) {
    QWindow* host = QWindow::fromWinId(window);
    if (host == nullptr) return;
    QWindow* earlier = std::exchange(host_, host);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_NativeWindow);
    (void)winId();
    windowHandle()->setParent(host);
    // This window no longer lives in the earlier host: its stand-in goes.
    if (earlier != nullptr) windows_.bury(earlier);
    const auto rect = windows_.client_rect(window);
    if (rect) host_resized(rect->right - rect->left, rect->bottom - rect->top);
}

void FormWidget::host_resized(int width, int height) {
    if (form_ == nullptr || width <= 0 || height <= 0) return;
    // The saver window covers the host, as it covers the screen elsewhere
    // (X11's size, in device pixels).
    form_->Move(0, 0, rt::pixels_to_twips(width, QtWindowSystem::twips_per_pixel_x()),
                rt::pixels_to_twips(height, QtWindowSystem::twips_per_pixel_y()));
}

bool FormWidget::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) {
        rt::guarded(windows_.services(), [this] {
            if (form_ != nullptr && !windows_.hack_mode()) form_->activated();
        });
    }
    // On another screen the window may show at another device pixel ratio.
    if (event->type() == QEvent::ScreenChangeInternal) rt::guarded(windows_.services(), [this] { apply_font(); });
    return QWidget::event(event);
}

void FormWidget::closeEvent(QCloseEvent* event) {
    // The runtime decides: query-unload, then unload (which destroys this window).
    event->ignore();
    rt::guarded(windows_.services(), [this] {
        if (form_ != nullptr && !windows_.hack_mode()) form_->deliver_close();
    });
}

bool FormWidget::eventFilter(QObject* watched, QEvent* event) {
    bool filtered = false;
    rt::guarded(windows_.services(), [&] { filter_event(watched, event, filtered); });
    return filtered;
}

void FormWidget::filter_event(QObject* watched, QEvent* event, bool& filtered) {
    switch (event->type()) {
        case QEvent::KeyPress:
            handle_key(watched, static_cast<QKeyEvent*>(event), filtered);
            return;
        case QEvent::KeyRelease:
            // Buttons press on Space release natively: the runtime already did.
            filtered = qobject_cast<QPushButton*>(watched) != nullptr || !takes_input();
            return;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            filtered = watched != this && !takes_input();
            return;
        case QEvent::FocusIn:
            if (auto* control = control_of(watched); control != nullptr && form_ != nullptr) {
                form_->focus_changed(control);
                windows_.trace().line("focus " + form_->name() + "." + control->name());
            }
            return;
        default:
            return;
    }
}

void FormWidget::handle_key(QObject* watched, QKeyEvent* event, bool& filtered) {
    QWidget* focus = QApplication::focusWidget();
    // A form shown through other surfaces (Wayland's outputs) has its own focus.
    if (focus != nullptr && focus->window() != this && focus->window() != window()) focus = focusWidget();
    if (focus != nullptr ? watched != focus : watched != this) return;  // seen where it first landed
    filtered = true;
    if (!takes_input()) return;
    const KeyDown down = key_down_of(*event);
    // A focused text box keeps its own editing keys; every other key is the runtime's alone.
    filtered = rt::form_takes_key(down.key, down.shift, qobject_cast<QLineEdit*>(watched) != nullptr);
    if (rt::Form* form = form_) form->deliver_key_down(down.key, down.shift);
}

// ====================================================================== the form's peer

FormWindow::FormWindow(QtWindowSystem& windows, rt::Form& form)
    : windows_(windows), form_(form), widget_(new FormWidget(windows, form)) {}

FormWindow::~FormWindow() {
    const bool was_active = widget_->isActiveWindow();
    widget_->detach();
    widget_->hide();
    windows_.trace().line("unload " + form_.name());
    windows_.bury(widget_);
    if (was_active) windows_.give_back_keyboard();
}

std::unique_ptr<rt::NativeControl> FormWindow::create_control(rt::Control& control) {
    return make_control_peer(*widget_, control);
}

void FormWindow::update(rt::Change what) {
    if (rt::has(what, rt::Change::Geometry)) widget_->apply_geometry();
    if (rt::has(what, rt::Change::Text)) widget_->apply_text();
    if (rt::has(what, rt::Change::Colors)) widget_->apply_colors();
}

rt::FrameInsets FormWindow::frame() const {
    // Windows-like frame sizes, so that a form's inner size is the one it
    // was designed with; inside a hack's host there is no frame. Device
    // pixels, like the rest of the runtime's: the frame grows with the
    // pixel ratio as a Windows frame grows with the dots per inch.
    const auto& design = form_.design();
    const int menu = design.has_menu ? widget_->menu_pixels() : 0;
    if (windows_.hack_mode()) return {0, menu, 0, 0};
    const double ratio = QtWindowSystem::device_pixel_ratio();
    const auto scaled = [ratio](int px) { return static_cast<int>(std::lround(px * ratio)); };
    const rt::FrameInsets classic = rt::classic_frame(design, 0);
    return {scaled(classic.left), scaled(classic.top) + menu, scaled(classic.right), scaled(classic.bottom)};
}

void FormWindow::show(bool modal) {
    if (HackHost* hack = windows_.hack_host(); hack != nullptr && form_.design().border == rt::BorderStyle::None) {
        widget_->embed_into(hack->window());
        hack->follow(widget_);
    }
    windows_.place(*widget_);
    widget_->apply_geometry();
    widget_->show();
    widget_->apply_font();  // the window's own screen is known now
    windows_.window_shown(widget_);
    if (!windows_.hack_mode()) {
        widget_->raise();
        widget_->activateWindow();
    }
    trace_shown(modal);
}

void FormWindow::hide() { widget_->hide(); }

void FormWindow::set_topmost() {
    if (windows_.hack_mode()) return;
    const bool was_visible = widget_->isVisible();
    widget_->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (was_visible) widget_->show();
}

void FormWindow::set_input_enabled(bool enabled) { widget_->set_input_enabled(enabled); }

void FormWindow::minimize() { widget_->showMinimized(); }

void FormWindow::draw_circle(float x, float y, float radius, rt::Color outline, rt::Color fill) {
    widget_->draw_circle(x, y, radius, outline, fill);
}

std::uintptr_t FormWindow::handle() const { return static_cast<std::uintptr_t>(widget_->winId()); }

void FormWindow::trace_shown(bool modal) {
    const Trace& trace = windows_.trace();
    trace.line("show " + form_.name() + (modal ? " modal" : "") + " caption [" + form_.Caption() + "]");
    for (auto* c : form_.controls()) {
        if (auto* l = dynamic_cast<rt::Label*>(c); l != nullptr && l->Visible()) {
            trace.line("label " + form_.name() + "." + l->name() + " [" + l->Caption() + "]");
        }
    }
}

}  // namespace vellora::qt
