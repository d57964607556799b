#include "platform/qt/platform.h"

#include <QCoreApplication>
#include <QFont>
#include <QCursor>
#include <QGuiApplication>
#include <QProxyStyle>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "platform/qt/form_window.h"
#include "platform/qt/hack_mode.h"
#include "runtime/failure.h"
#include "runtime/text.h"

namespace vellora::qt {

namespace {

// Password boxes show each character as the box's own password character.
class PasswordStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_LineEdit_PasswordCharacter && widget != nullptr) {
            const QVariant c = widget->property("vellora_password_char");
            if (c.isValid()) return c.toChar().unicode();
        }
        if (hint == SH_LineEdit_PasswordMaskDelay) return 0;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

// A repeating timer: a QTimer whose ticks run inside the failure boundary.
class QtTimer final : public rt::NativeTimer {
public:
    QtTimer(QtWindowSystem& windows, std::function<void()> tick) : windows_(windows), timer_(new QTimer) {
        timer_->setTimerType(Qt::PreciseTimer);
        connection_ = QObject::connect(timer_, &QTimer::timeout, timer_,
                                       [&services = windows.services(), tick = std::move(tick)] {
                                           rt::guarded(services, tick);
                                       });
    }
    ~QtTimer() override {
        QObject::disconnect(connection_);
        timer_->stop();
        windows_.bury(timer_);  // it may be firing right now
    }
    QtTimer(const QtTimer&) = delete;
    QtTimer& operator=(const QtTimer&) = delete;

    void start(int interval_ms) override { timer_->start(interval_ms); }
    void stop() override { timer_->stop(); }

private:
    QtWindowSystem& windows_;
    QTimer* timer_;
    QMetaObject::Connection connection_;
};

}  // namespace

// ------------------------------------------------------------------ the window system

QtWindowSystem::QtWindowSystem(const Options& options, rt::SystemServices& services, const Trace& trace)
    : services_(services), trace_(trace) {
    if (options.hack) hack_ = std::make_unique<HackHost>(*this, options.hack->window);
    // The designed font is narrow; the closest narrow fonts of a Linux desktop stand in for it.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Liberation Sans Narrow"),
                                QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
}

QtWindowSystem::~QtWindowSystem() {
    purge();
    hack_.reset();
}

std::unique_ptr<rt::NativeWindow> QtWindowSystem::create_window(rt::Form& form) {
    return std::make_unique<FormWindow>(*this, form);
}

std::unique_ptr<rt::NativeTimer> QtWindowSystem::create_timer(std::function<void()> tick) {
    return std::make_unique<QtTimer>(*this, std::move(tick));
}

void QtWindowSystem::run_until(const std::function<bool()>& done) {
    {
        ++depth_;
        const rt::ScopeExit leave([this] { --depth_; });
        while (!quit_ && !done()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
            if (depth_ == 1) {
                // No handler can be running now: dead widgets and deferred deletes can go.
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                purge();
            }
        }
    }
    if (depth_ == 0) purge();
}

double QtWindowSystem::dpi() {
    const QScreen* s = QGuiApplication::primaryScreen();
    const double d = s != nullptr ? s->logicalDotsPerInchX() : 96.0;
    return d > 0 ? d : 96.0;
}

float QtWindowSystem::twips_per_pixel_x() { return static_cast<float>(1440.0 / dpi()); }

float QtWindowSystem::twips_per_pixel_y() {
    const QScreen* s = QGuiApplication::primaryScreen();
    const double d = s != nullptr && s->logicalDotsPerInchY() > 0 ? s->logicalDotsPerInchY() : dpi();
    return static_cast<float>(1440.0 / d);
}

rt::ScreenMetrics QtWindowSystem::screen() {
    rt::ScreenMetrics m;
    m.twips_per_pixel_x = twips_per_pixel_x();
    m.twips_per_pixel_y = twips_per_pixel_y();
    if (hack_) {
        m.width_px = std::max(1, hack_->width());
        m.height_px = std::max(1, hack_->height());
        return m;
    }
    if (const QScreen* s = QGuiApplication::primaryScreen()) {
        m.width_px = s->geometry().width();
        m.height_px = s->geometry().height();
    }
    return m;
}

std::optional<rt::PixelPoint> QtWindowSystem::pointer_position() {
    if (hack_) return std::nullopt;  // a hack takes no input
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary == nullptr) return std::nullopt;
    const QPoint at = QCursor::pos(primary) - primary->geometry().topLeft();
    return rt::PixelPoint{at.x(), at.y()};
}

x11::Display& QtWindowSystem::x11() {
    if (!x11_) {
        // Only a program on an X display has other programs' windows to talk to.
        const bool on_x = QGuiApplication::platformName() == QLatin1String("xcb") && !rt::env("DISPLAY").empty();
        x11_ = std::make_unique<x11::Display>(on_x);
    }
    return *x11_;
}

bool QtWindowSystem::is_window(rt::ForeignWindow window) { return x11().exists(window); }

std::optional<rt::PixelRect> QtWindowSystem::client_rect(rt::ForeignWindow window) {
    const auto r = x11().client_rect(window);
    if (!r) return std::nullopt;
    return rt::PixelRect{r->left, r->top, r->right, r->bottom};
}

std::optional<rt::PixelRect> QtWindowSystem::window_rect(rt::ForeignWindow window) {
    const auto r = x11().window_rect(window);
    if (!r) return std::nullopt;
    return rt::PixelRect{r->left, r->top, r->right, r->bottom};
}

void QtWindowSystem::bury(QObject* object) {
    if (object != nullptr) graveyard_.emplace_back(object);
}

void QtWindowSystem::purge() {
    auto dead = std::move(graveyard_);
    graveyard_.clear();
    for (auto& object : dead) delete object.data();
}

QStyle* QtWindowSystem::password_style() {
    if (!password_style_) password_style_ = std::make_unique<PasswordStyle>();
    return password_style_.get();
}

void QtWindowSystem::window_shown(FormWidget* widget) {
    shown_.erase(std::remove(shown_.begin(), shown_.end(), widget), shown_.end());
    shown_.push_back(widget);
}

void QtWindowSystem::forget_window(FormWidget* widget) {
    if (hack_) hack_->forget(widget);
    shown_.erase(std::remove(shown_.begin(), shown_.end(), widget), shown_.end());
}

void QtWindowSystem::give_back_keyboard() {
    // Without a window manager nobody else gives the keyboard back when a
    // window closes: it goes to the program's most recently shown window.
    if (hack_mode()) return;
    for (auto it = shown_.rbegin(); it != shown_.rend(); ++it) {
        if ((*it)->form() != nullptr && (*it)->isVisible()) {
            (*it)->activateWindow();
            return;
        }
    }
}

// ------------------------------------------------------------------ the platform

QtPlatform::QtPlatform(Options options)
    : options_(std::move(options)),
      trace_(options_.trace_file),
      services_(options_, trace_, [] { return QtWindowSystem::dpi(); }),
      windows_(options_, services_, trace_),
      dialogs_(services_, trace_, [this] { windows_.give_back_keyboard(); }) {}

QtPlatform::~QtPlatform() = default;

}  // namespace vellora::qt
