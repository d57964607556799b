#include "platform/qt/controls.h"

#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <QWindow>
#include <utility>

#include "platform/qt/form_window.h"
#include "platform/qt/pictures.h"
#include "runtime/failure.h"

namespace vellora::qt {

// ====================================================================== the picture box's widget

// Shows the box's drawing layer: its back colour and picture, with the
// circles drawn over them.
class BoxWidget final : public QWidget {
public:
    BoxWidget(QWidget* parent, rt::SystemServices& services, const rt::PictureBox& box)
        : QWidget(parent), services_(services), box_(&box),
          layer_(services, *this, [this](const QRect& part) { update(part); }) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy(Qt::NoFocus);
    }
    // The box is gone; the widget waits for its burial.
    void detach() { box_ = nullptr; }
    // A new back colour or picture: what was drawn is gone.
    void rebuild() {
        if (box_ == nullptr) return;
        layer_.grow(size(), box_->BackColor());
        const auto& picture = box_->GetPicture();
        layer_.clear(box_->BackColor(), picture ? decoded_pixels(*picture) : nullptr);
        update();
    }
    void draw_circle(float x, float y, float radius, rt::Color outline, rt::Color fill) {
        layer_.grow(size(), back_color());
        layer_.circle(x, y, radius, outline, fill);
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        rt::guarded(services_, [&] {
            QWidget::resizeEvent(event);
            layer_.grow(event->size(), back_color());
        });
    }
    void paintEvent(QPaintEvent* event) override {
        rt::guarded(services_, [&] {
            QPainter p(this);
            const rt::Composition parts = rt::compose(device_rects(event->region()), layer_.rect());
            layer_.paint(p, parts.layer);
            for (const auto& r : parts.background) p.fillRect(logical_rect(r), to_qcolor(back_color()));
        });
    }

private:
    [[nodiscard]] rt::Color back_color() const { return box_ != nullptr ? box_->BackColor() : rt::Color{0}; }

    rt::SystemServices& services_;
    const rt::PictureBox* box_;
    DrawingLayer layer_;
};

std::unique_ptr<rt::NativeControl> make_control_peer(FormWidget& owner, rt::Control& control) {
    switch (control.kind()) {
        case rt::ControlKind::Label: return std::make_unique<LabelPeer>(owner, static_cast<rt::Label&>(control));
        case rt::ControlKind::TextBox: return std::make_unique<TextBoxPeer>(owner, static_cast<rt::TextBox&>(control));
        case rt::ControlKind::CommandButton:
            return std::make_unique<ButtonPeer>(owner, static_cast<rt::CommandButton&>(control));
        case rt::ControlKind::Image: return std::make_unique<ImagePeer>(owner, static_cast<rt::Image&>(control));
        case rt::ControlKind::PictureBox:
            return std::make_unique<PictureBoxPeer>(owner, static_cast<rt::PictureBox&>(control));
    }
    return nullptr;
}

// ====================================================================== widgets in general

WidgetPeer::WidgetPeer(FormWidget& owner, rt::Control& control, QWidget* widget)
    : owner_(owner), control_(control), widget_(widget) {
    widget_->setObjectName(QString::fromStdString(control.name()));
    owner_.add_control(widget_, &control);
}

WidgetPeer::~WidgetPeer() {
    for (const auto& c : connections_) QObject::disconnect(c);
    owner_.remove_control(widget_);
    widget_->hide();
    windows().bury(widget_);
    if (host_ != nullptr) windows().bury(host_);  // after the widget, which lives inside it
}

QtWindowSystem& WidgetPeer::windows() const { return owner_.windows(); }

void WidgetPeer::update(rt::Change what) {
    if (rt::has(what, rt::Change::Geometry)) widget_->setGeometry(pixel_box(control_));
    if (rt::has(what, rt::Change::Visible)) widget_->setVisible(control_.Visible());
    if (rt::has(what, rt::Change::Enabled)) widget_->setEnabled(control_.Enabled());
    if (rt::has(what, rt::Change::Text) || rt::has(what, rt::Change::Style) || rt::has(what, rt::Change::Colors) ||
        rt::has(what, rt::Change::Image)) {
        apply_look(what);
    }
}

void WidgetPeer::focus() {
    if (widget_->isEnabled()) widget_->setFocus(Qt::OtherFocusReason);
}

void WidgetPeer::draw_circle(float /*x*/, float /*y*/, float /*radius*/, rt::Color /*outline*/, rt::Color /*fill*/) {}

bool WidgetPeer::set_parent(rt::ForeignWindow parent) {
    if (!windows().is_window(parent)) return false;
    QWindow* host = QWindow::fromWinId(parent);
    if (host == nullptr) return false;
    const QRect geometry = widget_->geometry();
    owner_.remove_control(widget_);
    widget_->setParent(nullptr);
    widget_->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    widget_->setAttribute(Qt::WA_NativeWindow);
    (void)widget_->winId();
    widget_->windowHandle()->setParent(host);
    widget_->setGeometry(geometry);
    widget_->show();
    // The widget no longer lives in an earlier host: its stand-in goes.
    if (QWindow* earlier = std::exchange(host_, host)) windows().bury(earlier);
    return true;
}

// ====================================================================== labels

LabelPeer::LabelPeer(FormWidget& owner, rt::Label& label)
    : WidgetPeer(owner, label, new QLabel(owner.client())), label_(label), widget_label_(static_cast<QLabel*>(widget_)) {
    widget_label_->setWordWrap(true);
    widget_label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    widget_label_->setAutoFillBackground(true);
    widget_label_->setAttribute(Qt::WA_TransparentForMouseEvents);
    widget_label_->setFocusPolicy(Qt::NoFocus);
    update(rt::kAllChanges);
}

void LabelPeer::apply_look(rt::Change /*what*/) {
    widget_label_->setText(QString::fromStdString(rt::parse_access_key(label_.Caption()).text));
    // Its own weight; the face and size stay its form's, which follow the screen.
    QFont f;
    f.setBold(label_.Bold());
    widget_label_->setFont(f);
    QPalette pal = widget_label_->palette();
    pal.setColor(QPalette::WindowText, to_qcolor(label_.ForeColor()));
    pal.setColor(QPalette::Window, to_qcolor(rt::rgb(192, 192, 192)));
    widget_label_->setPalette(pal);
}

// ====================================================================== text boxes

TextBoxPeer::TextBoxPeer(FormWidget& owner, rt::TextBox& box)
    : WidgetPeer(owner, box, new QLineEdit(owner.client())), box_(box), edit_(static_cast<QLineEdit*>(widget_)) {
    edit_->setFocusPolicy(Qt::StrongFocus);
    edit_->setContextMenuPolicy(Qt::NoContextMenu);
    connections_.push_back(QObject::connect(edit_, &QLineEdit::textEdited, edit_, [this](const QString& t) {
        rt::guarded(windows().services(), [&] {
            if (!owner_.takes_input()) {
                edit_text_from_model();
                return;
            }
            // The change event may unload the form, and this peer with it.
            const std::weak_ptr<const bool> alive = alive_;
            box_.SetText(t.toStdString());
            if (!alive.expired()) trace_text();
        });
    }));
    update(rt::kAllChanges);
}

void TextBoxPeer::apply_look(rt::Change what) {
    if (rt::has(what, rt::Change::Style)) {
        if (box_.PasswordChar() != 0) {
            edit_->setProperty("vellora_password_char", QChar(box_.PasswordChar()));
            edit_->setStyle(windows().password_style());
            edit_->setEchoMode(QLineEdit::Password);
        } else {
            edit_->setEchoMode(QLineEdit::Normal);
        }
    }
    if (rt::has(what, rt::Change::Text)) edit_text_from_model();
}

void TextBoxPeer::edit_text_from_model() {
    const auto text = QString::fromStdString(box_.Text());
    if (edit_->text() != text) edit_->setText(text);
}

void TextBoxPeer::trace_text() {
    windows().trace().line("text " + box_.form().name() + "." + box_.name() + " shows [" +
                           edit_->displayText().toStdString() + "]");
}

// ====================================================================== command buttons

ButtonPeer::ButtonPeer(FormWidget& owner, rt::CommandButton& button)
    : WidgetPeer(owner, button, new QPushButton(owner.client())), button_(button),
      push_(static_cast<QPushButton*>(widget_)) {
    push_->setFocusPolicy(Qt::StrongFocus);
    push_->setAutoDefault(false);
    connections_.push_back(QObject::connect(push_, &QPushButton::clicked, push_, [this] {
        rt::guarded(windows().services(), [this] {
            if (!owner_.takes_input() || !button_.focusable()) return;
            button_.SetFocus();
            button_.Click();  // may unload the form: nothing of this peer is touched after it
        });
    }));
    update(rt::kAllChanges);
}

void ButtonPeer::apply_look(rt::Change /*what*/) {
    push_->setText(QString::fromStdString(button_.Caption()));
    // The runtime handles access keys; Qt's own shortcut would press twice.
    push_->setShortcut(QKeySequence());
    push_->setDefault(button_.Default());
}

// ====================================================================== picture boxes

PictureBoxPeer::PictureBoxPeer(FormWidget& owner, rt::PictureBox& box)
    : WidgetPeer(owner, box, new BoxWidget(owner.client(), owner.windows().services(), box)),
      box_(static_cast<BoxWidget*>(widget_)) {
    update(rt::kAllChanges);
}

PictureBoxPeer::~PictureBoxPeer() { box_->detach(); }

void PictureBoxPeer::draw_circle(float x, float y, float radius, rt::Color outline, rt::Color fill) {
    box_->draw_circle(x, y, radius, outline, fill);
}

void PictureBoxPeer::apply_look(rt::Change what) {
    if (rt::has(what, rt::Change::Colors) || rt::has(what, rt::Change::Image)) box_->rebuild();
}

// ====================================================================== images

ImagePeer::ImagePeer(FormWidget& owner, rt::Image& image) : owner_(&owner), image_(image), box_(pixel_rect(image)) {
    repaint(box_);
}

ImagePeer::~ImagePeer() { repaint(box_); }

void ImagePeer::update(rt::Change what) {
    if (owner_.isNull()) return;
    const rt::PixelRect now = pixel_rect(image_);
    if (rt::image_needs_repaint(what, box_, now)) {
        repaint(box_);
        repaint(now);
    }
    box_ = now;
}

void ImagePeer::repaint(const rt::PixelRect& box) {
    FormWidget* owner = owner_.data();
    if (owner != nullptr && !rt::is_empty(box)) owner->repaint_content(logical_cover(box));
}

}  // namespace vellora::qt
