#include "platform/qt/qt_peers.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <cmath>
#include <functional>

#include "platform/qt/qt_platform.h"

namespace vellora::qt {

namespace {

bool has(rt::Change what, rt::Change bit) {
    return (static_cast<unsigned>(what) & static_cast<unsigned>(bit)) != 0;
}

constexpr rt::Change kAll = static_cast<rt::Change>(0x7FU);

int to_px(float twips, float tpp) { return static_cast<int>(std::lround(static_cast<double>(twips / tpp))); }

std::int16_t mouse_button(Qt::MouseButton button) {
    switch (button) {
        case Qt::LeftButton: return 1;
        case Qt::RightButton: return 2;
        case Qt::MiddleButton: return 4;
        default: return 0;
    }
}

std::int16_t mouse_buttons(Qt::MouseButtons buttons) {
    std::int16_t out = 0;
    if (buttons & Qt::LeftButton) out = static_cast<std::int16_t>(out | 1);
    if (buttons & Qt::RightButton) out = static_cast<std::int16_t>(out | 2);
    if (buttons & Qt::MiddleButton) out = static_cast<std::int16_t>(out | 4);
    return out;
}

// Draws one circle: filled with `fill`, a 1-pixel outline in `outline`.
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

// Circles come in bursts of a couple of hundred: their bounds are gathered
// into one rectangle and the widget repaints it once, after the burst.
// `before` runs first (the burst's painter is ended there).
void repaint_later(QWidget& widget, QRect& pending, const QRect& bounds, std::function<void()> before = {}) {
    if (pending.isEmpty()) {
        QMetaObject::invokeMethod(
            &widget,
            [&widget, &pending, before = std::move(before)] {
                if (before) before();
                widget.update(pending);
                pending = QRect();
            },
            Qt::QueuedConnection);
    }
    pending |= bounds;
}

QRect circle_bounds(double cx, double cy, double r) {
    const int x0 = static_cast<int>(std::floor(cx - r)) - 2;
    const int y0 = static_cast<int>(std::floor(cy - r)) - 2;
    const int d = static_cast<int>(std::ceil(2 * r)) + 5;
    return {x0, y0, d, d};
}

}  // namespace

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
        {
            QPainter p(this);
            owner_.paint_client(p, event->region());
        }
        if (!painted_ && owner_.form() != nullptr) {
            painted_ = true;
            owner_.platform().trace("first paint " + owner_.form()->name());
        }
        if (owner_.form() != nullptr) {
            // Form_Paint runs after the window has drawn itself.
            QTimer::singleShot(0, this, [this] {
                if (auto* form = owner_.form()) form->deliver_paint();
            });
        }
    }
    void mousePressEvent(QMouseEvent* e) override {
        auto* form = owner_.form();
        if (form == nullptr || !owner_.takes_input()) return;
        form->deliver_mouse_down(mouse_button(e->button()), shift_state_of(e->modifiers()),
                                          owner_.twips_x(e->position().x()), owner_.twips_y(e->position().y()));
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        auto* form = owner_.form();
        if (form == nullptr || !owner_.takes_input()) return;
        form->deliver_mouse_move(mouse_buttons(e->buttons()), shift_state_of(e->modifiers()),
                                          owner_.twips_x(e->position().x()), owner_.twips_y(e->position().y()));
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        auto* form = owner_.form();
        if (form == nullptr || !owner_.takes_input()) return;
        if (owner_.over_control(e->position().toPoint())) return;
        form->deliver_dbl_click();
    }

private:
    FormWidget& owner_;
    bool painted_ = false;
};

// ====================================================================== form widget

FormWidget::FormWidget(QtPlatform& platform, rt::Form& form) : platform_(platform), form_(&form) {
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
    QFont font(QString::fromStdString(design.font_name));
    font.setPointSizeF(static_cast<double>(design.font_size));
    font.setBold(design.font_bold);
    setFont(font);
    client_ = new ClientWidget(*this);
    if (design.has_menu) {
        menu_ = new QMenuBar(this);
        menu_->setNativeMenuBar(false);
        for (auto* command : form.menu()) {
            auto* action = menu_->addAction(QString::fromStdString(rt::parse_access_key(command->Caption()).text));
            QObject::connect(action, &QAction::triggered, this, [this, command] {
                if (takes_input()) command->Click();
            });
        }
    }
    installEventFilter(this);
    if (platform_.hack_mode()) setAttribute(Qt::WA_TransparentForMouseEvents);
}

FormWidget::~FormWidget() {
    platform_.forget_window(this);
    if (host_ != nullptr) platform_.bury(host_);  // after this window, which lives inside it
}

int FormWidget::menu_height() const { return menu_ == nullptr ? 0 : menu_->sizeHint().height(); }

bool FormWidget::takes_input() const {
    return form_ != nullptr && input_enabled_ && !platform_.hack_mode() && form_->input_enabled();
}

float FormWidget::twips_x(double px) const { return static_cast<float>(px) * platform_.twips_per_pixel_x(); }
float FormWidget::twips_y(double px) const { return static_cast<float>(px) * platform_.twips_per_pixel_y(); }

void FormWidget::apply_geometry() {
    if (form_ == nullptr) return;
    const float tx = platform_.twips_per_pixel_x();
    const float ty = platform_.twips_per_pixel_y();
    const auto insets = form_->peer() != nullptr ? form_->peer()->frame() : rt::FrameInsets{};
    const int menu = menu_height();
    // The widget is the window less its border and title bar; the menu bar is inside it.
    const int w = std::max(1, to_px(form_->Width(), tx) - insets.left - insets.right);
    const int h = std::max(1, to_px(form_->Height(), ty) - (insets.top - menu) - insets.bottom);
    if (host_) {
        setGeometry(0, 0, w, h);
    } else {
        move(to_px(form_->Left(), tx), to_px(form_->Top(), ty));
        if (form_->design().border == rt::BorderStyle::None) {
            resize(w, h);
        } else {
            setFixedSize(w, h);
        }
    }
}

void FormWidget::apply_text() {
    if (form_ != nullptr) setWindowTitle(QString::fromStdString(form_->Caption()));
}

void FormWidget::apply_colors() {
    if (form_ == nullptr) return;
    // A new back colour clears the drawing layer.
    end_layer_painting();
    layer_.fill(to_qcolor(form_->BackColor()));
    client_->update();
}

void FormWidget::resize_layer(const QSize& size) {
    if (size.isEmpty() || (layer_.size().width() >= size.width() && layer_.size().height() >= size.height())) return;
    end_layer_painting();
    QImage grown(size.expandedTo(layer_.size()), QImage::Format_RGB32);
    grown.fill(form_ != nullptr ? to_qcolor(form_->BackColor()) : QColor(Qt::black));
    if (!layer_.isNull()) {
        QPainter p(&grown);
        p.drawImage(0, 0, layer_);
    }
    layer_ = std::move(grown);
}

void FormWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int menu = menu_height();
    if (menu_ != nullptr) menu_->setGeometry(0, 0, width(), menu);
    client_->setGeometry(0, menu, width(), std::max(0, height() - menu));
    resize_layer(client_->size());
}

QRect FormWidget::image_box(const rt::Control& image) const {
    const float tx = platform_.twips_per_pixel_x();
    const float ty = platform_.twips_per_pixel_y();
    return {to_px(image.Left(), tx), to_px(image.Top(), ty), std::max(0, to_px(image.Width(), tx)),
            std::max(0, to_px(image.Height(), ty))};
}

namespace {

// The decoded pixels an image shows, or nullptr.
const QImage* shown_picture(const rt::Image& image) {
    const auto& picture = image.GetPicture();
    if (!picture || !picture->image) return nullptr;
    const auto* native = dynamic_cast<const QtImage*>(picture->image.get());
    return native != nullptr && !native->image().isNull() ? &native->image() : nullptr;
}

}  // namespace

void FormWidget::paint_client(QPainter& painter, const QRegion& region) {
    end_layer_painting();
    // Every pixel to repaint is painted once where it can be: an image
    // whose opaque picture fills its box hides what lies beneath it, so
    // neither the images under it nor the layer are drawn there. Images lie
    // over the layer in control order, a later one over an earlier one.
    struct Shown {
        const rt::Image* image;
        const QImage* picture;
        QRect box;
        QRegion visible;
    };
    std::vector<Shown> shown;
    if (form_ != nullptr) {
        for (const auto* c : form_->controls()) {
            if (c->kind() != rt::ControlKind::Image || !c->Visible()) continue;
            const auto& image = static_cast<const rt::Image&>(*c);
            const QImage* picture = shown_picture(image);
            const QRect box = image_box(image);
            if (picture != nullptr && !box.isEmpty() && region.intersects(box)) shown.push_back({&image, picture, box, {}});
        }
    }
    QRegion hidden;  // covered by an opaque picture above
    for (auto it = shown.rbegin(); it != shown.rend(); ++it) {
        it->visible = (region & it->box) - hidden;
        const bool opaque = !it->picture->hasAlphaChannel() &&
                            (it->image->Stretch() || (it->picture->width() >= it->box.width() &&
                                                      it->picture->height() >= it->box.height()));
        if (opaque) hidden += it->box;
    }

    // The layer holds the back colour and the circles; only what lies
    // beyond it is filled plainly.
    const QRegion under = region - hidden;
    for (const QRect& r : under) {
        const QRect in_layer = r & layer_.rect();
        if (!in_layer.isEmpty()) painter.drawImage(in_layer.topLeft(), layer_, in_layer);
        if (form_ != nullptr && in_layer != r) {
            for (const QRect& beyond : QRegion(r) - QRegion(layer_.rect())) painter.fillRect(beyond, to_qcolor(form_->BackColor()));
        }
    }
    for (const auto& s : shown) {
        if (s.visible.isEmpty()) continue;
        if (s.image->Stretch()) {
            painter.save();
            painter.setClipRegion(s.visible);
            painter.drawImage(s.box, *s.picture);
            painter.restore();
        } else {
            // Unscaled at natural size, cut off at the element's box.
            for (const QRect& r : s.visible) {
                const QRect part = r & QRect(s.box.topLeft(), s.picture->size());
                if (!part.isEmpty()) painter.drawImage(part.topLeft(), *s.picture, part.translated(-s.box.topLeft()));
            }
        }
    }
}

void FormWidget::end_layer_painting() { layer_painter_.reset(); }

void FormWidget::draw_circle(float x, float y, float radius, rt::Color outline, rt::Color fill) {
    resize_layer(client_->size());
    const double cx = static_cast<double>(x / platform_.twips_per_pixel_x());
    const double cy = static_cast<double>(y / platform_.twips_per_pixel_y());
    const double r = static_cast<double>(radius / platform_.twips_per_pixel_x());
    // One painter serves a whole burst; it ends before the burst is shown.
    if (!layer_painter_) layer_painter_ = std::make_unique<QPainter>(&layer_);
    paint_circle(*layer_painter_, cx, cy, r, outline, fill);
    repaint_later(*client_, pending_circles_, circle_bounds(cx, cy, r), [this] { end_layer_painting(); });
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
            if (c->kind() == rt::ControlKind::Image && c->Visible() && image_box(*c).contains(client_pos)) return true;
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
    host_ = host;
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_NativeWindow);
    (void)winId();
    windowHandle()->setParent(host);
    const auto rect = platform_.client_rect(window);
    if (rect) host_resized(rect->right - rect->left, rect->bottom - rect->top);
}

void FormWidget::host_resized(int width, int height) {
    if (form_ == nullptr || width <= 0 || height <= 0) return;
    // The saver window covers the host, as it covers the screen elsewhere.
    form_->Move(0, 0, static_cast<float>(width) * platform_.twips_per_pixel_x(),
                static_cast<float>(height) * platform_.twips_per_pixel_y());
}

bool FormWidget::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && form_ != nullptr && !platform_.hack_mode()) form_->activated();
    return QWidget::event(event);
}

void FormWidget::closeEvent(QCloseEvent* event) {
    // The runtime decides: query-unload, then unload (which destroys this window).
    event->ignore();
    if (form_ != nullptr && !platform_.hack_mode()) form_->deliver_close();
}

bool FormWidget::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
            return handle_key(watched, static_cast<QKeyEvent*>(event));
        case QEvent::KeyRelease: {
            // Buttons press on Space release natively: the runtime already did.
            if (qobject_cast<QPushButton*>(watched) != nullptr) return true;
            return !takes_input();
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            if (watched != this && !takes_input()) return true;
            return false;
        case QEvent::FocusIn:
            if (auto* control = control_of(watched); control != nullptr && form_ != nullptr) {
                form_->focus_changed(control);
                platform_.trace("focus " + form_->name() + "." + control->name());
            }
            return false;
        default:
            return false;
    }
}

bool FormWidget::handle_key(QObject* watched, QKeyEvent* event) {
    QWidget* focus = QApplication::focusWidget();
    if (focus != nullptr ? watched != focus : watched != this) return false;  // seen where it first landed
    if (!takes_input()) return true;
    const std::int16_t key = key_code_of(event->key());
    std::int16_t shift = shift_state_of(event->modifiers());
    if (event->key() == Qt::Key_Backtab) shift = static_cast<std::int16_t>(shift | rt::shift::Shift);
    const bool in_text = qobject_cast<QLineEdit*>(watched) != nullptr;
    const bool for_runtime = key == rt::keys::Tab || key == rt::keys::Enter || key == rt::keys::Escape ||
                             key == rt::keys::F1 || ((shift & rt::shift::Alt) != 0 && key >= 'A' && key <= 'Z');
    if (rt::Form* form = form_) form->deliver_key_down(key, shift);
    // Text boxes keep their own editing keys; everything else was the runtime's.
    return !(in_text && !for_runtime);
}

// ====================================================================== control widgets

namespace {

class BoxWidget final : public QWidget {
public:
    BoxWidget(QWidget* parent, QtPlatform& platform, const rt::PictureBox& box)
        : QWidget(parent), platform_(platform), box_(&box) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy(Qt::NoFocus);
    }
    void detach() { box_ = nullptr; }
    void draw_circle(float x, float y, float radius, rt::Color outline, rt::Color fill) {
        grow_layer(size());
        const double cx = static_cast<double>(x / platform_.twips_per_pixel_x());
        const double cy = static_cast<double>(y / platform_.twips_per_pixel_y());
        const double r = static_cast<double>(radius / platform_.twips_per_pixel_x());
        {
            QPainter p(&layer_);
            paint_circle(p, cx, cy, r, outline, fill);
        }
        repaint_later(*this, pending_circles_, circle_bounds(cx, cy, r));
    }
    [[nodiscard]] const QImage& layer() const { return layer_; }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        grow_layer(event->size());
    }
    void paintEvent(QPaintEvent* event) override {
        QPainter p(this);
        const QRect r = event->rect();
        p.fillRect(r, box_ != nullptr ? to_qcolor(box_->BackColor()) : QColor(Qt::black));
        if (box_ != nullptr && box_->GetPicture() && box_->GetPicture()->image) {
            if (const auto* native = dynamic_cast<const QtImage*>(box_->GetPicture()->image.get())) {
                p.drawImage(r.topLeft(), native->image(), r);
            }
        }
        p.drawImage(r.topLeft(), layer_, r);
    }

private:
    void grow_layer(const QSize& size) {
        if (size.isEmpty() || (layer_.width() >= size.width() && layer_.height() >= size.height())) return;
        QImage grown(size.expandedTo(layer_.size()), QImage::Format_ARGB32_Premultiplied);
        grown.fill(Qt::transparent);
        if (!layer_.isNull()) {
            QPainter p(&grown);
            p.drawImage(0, 0, layer_);
        }
        layer_ = std::move(grown);
    }

    QtPlatform& platform_;
    const rt::PictureBox* box_;
    QImage layer_;
    QRect pending_circles_;
};

// ====================================================================== control peer

class ControlPeer final : public rt::NativeControl {
public:
    ControlPeer(QtPlatform& platform, FormWidget& owner, rt::Control& control)
        : platform_(platform), owner_(&owner), control_(control) {
        QWidget* parent = owner.client();
        switch (control.kind()) {
            case rt::ControlKind::Label: {
                auto* label = new QLabel(parent);
                label->setWordWrap(true);
                label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                label->setAutoFillBackground(true);
                label->setAttribute(Qt::WA_TransparentForMouseEvents);
                label->setFocusPolicy(Qt::NoFocus);
                widget_ = label;
                break;
            }
            case rt::ControlKind::TextBox: {
                auto* edit = new QLineEdit(parent);
                edit->setFocusPolicy(Qt::StrongFocus);
                edit->setContextMenuPolicy(Qt::NoContextMenu);
                auto& box = static_cast<rt::TextBox&>(control);
                connections_.push_back(QObject::connect(edit, &QLineEdit::textEdited, edit, [this, &box](const QString& t) {
                    if (owner_ && owner_->takes_input()) {
                        box.SetText(t.toStdString());  // fires the change event
                        trace_text();
                    } else {
                        edit_text_from_model();
                    }
                }));
                widget_ = edit;
                break;
            }
            case rt::ControlKind::CommandButton: {
                auto* button = new QPushButton(parent);
                button->setFocusPolicy(Qt::StrongFocus);
                button->setAutoDefault(false);
                auto& b = static_cast<rt::CommandButton&>(control);
                connections_.push_back(QObject::connect(button, &QPushButton::clicked, button, [this, &b] {
                    if (!owner_ || !owner_->takes_input() || !b.focusable()) return;
                    b.SetFocus();
                    b.Click();  // may unload the form: nothing of this peer is touched after it
                }));
                widget_ = button;
                break;
            }
            case rt::ControlKind::Image:
                break;  // images have a peer of their own
            case rt::ControlKind::PictureBox:
                widget_ = new BoxWidget(parent, platform, static_cast<rt::PictureBox&>(control));
                break;
        }
        widget_->setObjectName(QString::fromStdString(control.name()));
        owner.add_control(widget_, &control);
        update(kAll);
    }

    ~ControlPeer() override {
        for (const auto& c : connections_) QObject::disconnect(c);
        if (auto* box = dynamic_cast<BoxWidget*>(widget_)) box->detach();
        if (owner_ && widget_) owner_->remove_control(widget_);
        if (widget_) {
            widget_->hide();
            platform_.bury(widget_);
        }
        if (host_) platform_.bury(host_);
    }
    ControlPeer(const ControlPeer&) = delete;
    ControlPeer& operator=(const ControlPeer&) = delete;

    void update(rt::Change what) override {
        if (!widget_) return;
        const float tx = platform_.twips_per_pixel_x();
        const float ty = platform_.twips_per_pixel_y();
        if (has(what, rt::Change::Geometry)) {
            widget_->setGeometry(to_px(control_.Left(), tx), to_px(control_.Top(), ty),
                                 std::max(0, to_px(control_.Width(), tx)), std::max(0, to_px(control_.Height(), ty)));
        }
        if (has(what, rt::Change::Visible)) widget_->setVisible(control_.Visible());
        if (has(what, rt::Change::Enabled)) widget_->setEnabled(control_.Enabled());
        if (has(what, rt::Change::Text) || has(what, rt::Change::Style) || has(what, rt::Change::Colors)) apply_look(what);
        if (has(what, rt::Change::Image)) widget_->update();
    }

    void focus() override {
        if (widget_ && widget_->isEnabled()) widget_->setFocus(Qt::OtherFocusReason);
    }

    void draw_circle(float x, float y, float radius, rt::Color outline, rt::Color fill) override {
        if (auto* box = dynamic_cast<BoxWidget*>(widget_)) box->draw_circle(x, y, radius, outline, fill);
    }

    bool set_parent(rt::ForeignWindow parent) override {
        if (!widget_ || !platform_.is_window(parent)) return false;
        QWindow* host = QWindow::fromWinId(parent);
        if (host == nullptr) return false;
        const QRect geometry = widget_->geometry();
        if (owner_) owner_->remove_control(widget_);
        widget_->setParent(nullptr);
        widget_->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        widget_->setAttribute(Qt::WA_NativeWindow);
        (void)widget_->winId();
        widget_->windowHandle()->setParent(host);
        widget_->setGeometry(geometry);
        widget_->show();
        host_ = host;
        return true;
    }

private:
    void edit_text_from_model() {
        auto* edit = qobject_cast<QLineEdit*>(widget_);
        const auto text = QString::fromStdString(static_cast<rt::TextBox&>(control_).Text());
        if (edit != nullptr && edit->text() != text) edit->setText(text);
    }

    void trace_text() {
        if (auto* edit = qobject_cast<QLineEdit*>(widget_)) {
            platform_.trace("text " + control_.form().name() + "." + control_.name() + " shows [" +
                            edit->displayText().toStdString() + "]");
        }
    }

    void apply_look(rt::Change what) {
        switch (control_.kind()) {
            case rt::ControlKind::Label: {
                auto& l = static_cast<rt::Label&>(control_);
                auto* label = static_cast<QLabel*>(widget_);
                label->setText(QString::fromStdString(rt::parse_access_key(l.Caption()).text));
                QFont f = label->font();
                f.setBold(l.Bold());
                label->setFont(f);
                QPalette pal = label->palette();
                pal.setColor(QPalette::WindowText, to_qcolor(l.ForeColor()));
                pal.setColor(QPalette::Window, to_qcolor(rt::rgb(192, 192, 192)));
                label->setPalette(pal);
                break;
            }
            case rt::ControlKind::TextBox: {
                auto& box = static_cast<rt::TextBox&>(control_);
                auto* edit = static_cast<QLineEdit*>(widget_);
                if (has(what, rt::Change::Style)) {
                    if (box.PasswordChar() != 0) {
                        edit->setProperty("vellora_password_char", QChar(box.PasswordChar()));
                        edit->setStyle(platform_.password_style());
                        edit->setEchoMode(QLineEdit::Password);
                    } else {
                        edit->setEchoMode(QLineEdit::Normal);
                    }
                }
                if (has(what, rt::Change::Text)) edit_text_from_model();
                break;
            }
            case rt::ControlKind::CommandButton: {
                auto& b = static_cast<rt::CommandButton&>(control_);
                auto* button = static_cast<QPushButton*>(widget_);
                button->setText(QString::fromStdString(b.Caption()));
                // The runtime handles access keys; Qt's own shortcut would press twice.
                button->setShortcut(QKeySequence());
                button->setDefault(b.Default());
                break;
            }
            case rt::ControlKind::Image:
            case rt::ControlKind::PictureBox:
                widget_->update();
                break;
        }
    }

    QtPlatform& platform_;
    FormWidget* owner_;
    rt::Control& control_;
    QWidget* widget_ = nullptr;
    QWindow* host_ = nullptr;
    std::vector<QMetaObject::Connection> connections_;
};

// ====================================================================== image peer

// Images have no widget of their own: the form's client area paints them
// over its drawing layer. A change repaints only where the image was and
// where it is now.
class ImagePeer final : public rt::NativeControl {
public:
    ImagePeer(FormWidget& owner, rt::Control& control) : owner_(&owner), control_(control), box_(owner.image_box(control)) {
        repaint(box_);
    }
    ~ImagePeer() override { repaint(box_); }
    ImagePeer(const ImagePeer&) = delete;
    ImagePeer& operator=(const ImagePeer&) = delete;

    void update(rt::Change what) override {
        FormWidget* owner = owner_.data();
        if (owner == nullptr) return;
        const QRect now = owner->image_box(control_);
        if (has(what, rt::Change::Image) || has(what, rt::Change::Visible) || has(what, rt::Change::Style) ||
            now != box_) {
            repaint(box_);
            repaint(now);
        }
        box_ = now;
    }
    void focus() override {}
    void draw_circle(float, float, float, rt::Color, rt::Color) override {}
    bool set_parent(rt::ForeignWindow) override { return false; }

private:
    void repaint(const QRect& box) {
        FormWidget* owner = owner_.data();
        if (owner != nullptr && !box.isEmpty()) owner->client()->update(box);
    }
    QPointer<FormWidget> owner_;
    rt::Control& control_;
    QRect box_;  // where the image was last painted, in client pixels
};

// ====================================================================== window peer

class WindowPeer final : public rt::NativeWindow {
public:
    WindowPeer(QtPlatform& platform, rt::Form& form)
        : platform_(platform), form_(form), widget_(new FormWidget(platform, form)) {}

    ~WindowPeer() override {
        if (widget_) {
            const bool was_active = widget_->isActiveWindow();
            widget_->detach();
            widget_->hide();
            platform_.trace("unload " + form_.name());
            platform_.bury(widget_);
            if (was_active) platform_.give_back_keyboard();
        }
    }
    WindowPeer(const WindowPeer&) = delete;
    WindowPeer& operator=(const WindowPeer&) = delete;

    std::unique_ptr<rt::NativeControl> create_control(rt::Control& control) override {
        if (control.kind() == rt::ControlKind::Image) return std::make_unique<ImagePeer>(*widget_, control);
        return std::make_unique<ControlPeer>(platform_, *widget_, control);
    }

    void update(rt::Change what) override {
        if (!widget_) return;
        if (has(what, rt::Change::Geometry)) widget_->apply_geometry();
        if (has(what, rt::Change::Text)) widget_->apply_text();
        if (has(what, rt::Change::Colors)) widget_->apply_colors();
    }

    [[nodiscard]] rt::FrameInsets frame() const override {
        // Windows-like non-client metrics (border 3, title 19, menu 19 pixels), so
        // that a form's inner size is the one it was designed with.
        const auto& design = form_.design();
        rt::FrameInsets f{};
        if (design.border != rt::BorderStyle::None && !platform_.hack_mode()) f = {3, 3 + 19, 3, 3};
        if (design.has_menu) f.top += widget_ ? widget_->menu_height() : 19;
        return f;
    }

    void show(bool modal) override {
        if (!widget_) return;
        if (platform_.hack_mode() && form_.design().border == rt::BorderStyle::None) {
            widget_->embed_into(platform_.options().hack->window);
            platform_.set_hack_window(widget_);
        }
        widget_->apply_geometry();
        widget_->show();
        platform_.window_shown(widget_);
        if (!platform_.hack_mode()) {
            widget_->raise();
            widget_->activateWindow();
        }
        trace_shown(modal);
    }

    void hide() override {
        if (widget_) widget_->hide();
    }

    void set_topmost() override {
        if (!widget_ || platform_.hack_mode()) return;
        const bool was_visible = widget_->isVisible();
        widget_->setWindowFlag(Qt::WindowStaysOnTopHint, true);
        if (was_visible) widget_->show();
    }

    void set_input_enabled(bool enabled) override {
        if (widget_) widget_->set_input_enabled(enabled);
    }

    void minimize() override {
        if (widget_) widget_->showMinimized();
    }

    void draw_circle(float x, float y, float radius, rt::Color outline, rt::Color fill) override {
        if (widget_) widget_->draw_circle(x, y, radius, outline, fill);
    }

    [[nodiscard]] std::uintptr_t handle() const override {
        return widget_ ? static_cast<std::uintptr_t>(widget_->winId()) : 0;
    }

private:
    void trace_shown(bool modal) {
        std::string line = "show " + form_.name() + (modal ? " modal" : "") + " caption [" + form_.Caption() + "]";
        platform_.trace(line);
        for (auto* c : form_.controls()) {
            if (auto* l = dynamic_cast<rt::Label*>(c); l != nullptr && l->Visible()) {
                platform_.trace("label " + form_.name() + "." + l->name() + " [" + l->Caption() + "]");
            }
        }
    }

    QtPlatform& platform_;
    rt::Form& form_;
    FormWidget* widget_;
};

// ====================================================================== timer peer

class TimerPeer final : public rt::NativeTimer {
public:
    TimerPeer(QtPlatform& platform, std::function<void()> tick) : platform_(platform), timer_(new QTimer) {
        timer_->setTimerType(Qt::PreciseTimer);
        connection_ = QObject::connect(timer_, &QTimer::timeout, timer_, std::move(tick));
    }
    ~TimerPeer() override {
        QObject::disconnect(connection_);
        if (timer_) {
            timer_->stop();
            platform_.bury(timer_);  // it may be firing right now
        }
    }
    TimerPeer(const TimerPeer&) = delete;
    TimerPeer& operator=(const TimerPeer&) = delete;

    void start(int interval_ms) override {
        if (timer_) timer_->start(interval_ms);
    }
    void stop() override {
        if (timer_) timer_->stop();
    }

private:
    QtPlatform& platform_;
    QTimer* timer_;
    QMetaObject::Connection connection_;
};

}  // namespace

std::unique_ptr<rt::NativeWindow> make_window_peer(QtPlatform& platform, rt::Form& form) {
    return std::make_unique<WindowPeer>(platform, form);
}

std::unique_ptr<rt::NativeTimer> make_timer_peer(QtPlatform& platform, std::function<void()> tick) {
    return std::make_unique<TimerPeer>(platform, std::move(tick));
}

}  // namespace vellora::qt
