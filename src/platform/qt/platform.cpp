#include "platform/qt/platform.h"

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QFont>
#include <QFontDatabase>
#include <QProxyStyle>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "platform/qt/form_window.h"
#include "platform/qt/hack_mode.h"
#include "platform/qt/outputs.h"
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

// The windows are designed in MS Sans Serif 8.25 pt. Wine's free
// re-creation of it (Debian's fonts-wine) has its metrics, 13 pixels a line
// at 96 dpi, so every caption fits the box it was designed for; it lives
// outside fontconfig's folders and is loaded for this program alone. It is
// a bitmap font with strikes of 13, 16 and 20 pixels, of which Qt lists the
// first only, and Qt draws a bitmap glyph at its own size whatever the
// device pixel ratio: at a ratio of 2 the letters would stand apart at half
// their size. So the bitmap serves a ratio of 1, and every other ratio
// gets Wine's scalable Tahoma from the same package: its advances come
// within a pixel of MS Sans Serif's over a caption, its lines are shorter.
constexpr const char* kDesignedFace = "MS Sans Serif";
constexpr const char* kScalableFace = "Tahoma";
constexpr const char* kFontFiles[] = {"/usr/share/wine/fonts/ms_sans_serif.ttf", "/usr/share/wine/fonts/tahoma.ttf",
                                      "/usr/share/wine/fonts/tahomabd.ttf"};

void load_designed_fonts() {
    if (!QFontDatabase::hasFamily(QString::fromLatin1(kDesignedFace))) {
        for (const char* file : kFontFiles) (void)QFontDatabase::addApplicationFont(QString::fromLatin1(file));
    }
    // Without them, the closest narrow fonts of a Linux desktop stand in.
    const QStringList narrow = {QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Liberation Sans Narrow"),
                                QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")};
    QFont::insertSubstitutions(QString::fromLatin1(kDesignedFace), narrow);
    QFont::insertSubstitutions(QString::fromLatin1(kScalableFace), narrow);
}

// The primary screen's logical dots per inch (Qt's own coordinates).
double logical_dpi_x() {
    const QScreen* s = QGuiApplication::primaryScreen();
    const double d = s != nullptr ? s->logicalDotsPerInchX() : 96.0;
    return d > 0 ? d : 96.0;
}

double logical_dpi_y() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s != nullptr && s->logicalDotsPerInchY() > 0 ? s->logicalDotsPerInchY() : logical_dpi_x();
}

int to_device(int logical, double ratio) { return static_cast<int>(std::lround(logical * ratio)); }

// The device pixels up to a screen's far edge. Qt rounds a screen's size to
// whole logical pixels: at a fractional ratio the screen may hold more
// device pixels than the logical ones times the ratio (768 at a ratio of
// 2.25 are 341 logical, which are 767.25), so the far edge is the last one
// that rounds to it.
int to_device_edge(int logical, double ratio) {
    if (ratio == std::floor(ratio)) return to_device(logical, ratio);
    return static_cast<int>(std::ceil((logical + 0.5) * ratio)) - 1;
}

}  // namespace

// ------------------------------------------------------------------ the window system

QtWindowSystem::QtWindowSystem(const Options& options, rt::SystemServices& services, const Trace& trace)
    : services_(services), trace_(trace) {
    if (options.hack) hack_ = std::make_unique<HackHost>(*this, options.hack->window);
    load_designed_fonts();
    // A hack draws in one window on one monitor: screens are none of its business.
    if (!hack_) watch_screens();
    if (!hack_ && on_wayland()) wayland_watch_ = std::make_unique<WaylandWatch>(*this);
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

double QtWindowSystem::device_pixel_ratio() {
    const QScreen* s = QGuiApplication::primaryScreen();
    const double r = s != nullptr ? s->devicePixelRatio() : 1.0;
    return r > 0 ? r : 1.0;
}

double QtWindowSystem::dpi() { return logical_dpi_x() * device_pixel_ratio(); }

float QtWindowSystem::twips_per_pixel_x() { return static_cast<float>(1440.0 / dpi()); }

float QtWindowSystem::twips_per_pixel_y() {
    return static_cast<float>(1440.0 / (logical_dpi_y() * device_pixel_ratio()));
}

float QtWindowSystem::logical_twips_per_pixel_x() { return static_cast<float>(1440.0 / logical_dpi_x()); }

float QtWindowSystem::logical_twips_per_pixel_y() { return static_cast<float>(1440.0 / logical_dpi_y()); }

QString QtWindowSystem::face_for(const std::string& designed, double device_pixel_ratio) {
    if (designed == kDesignedFace && std::abs(device_pixel_ratio - 1.0) > 1e-3) return QString::fromLatin1(kScalableFace);
    return QString::fromStdString(designed);
}

rt::ScreenMetrics QtWindowSystem::screen() {
    rt::ScreenMetrics m;
    m.twips_per_pixel_x = twips_per_pixel_x();
    m.twips_per_pixel_y = twips_per_pixel_y();
    if (hack_) {
        // The host's size is X11's, in device pixels already.
        m.width_px = std::max(1, hack_->width());
        m.height_px = std::max(1, hack_->height());
        return m;
    }
    if (const QScreen* s = QGuiApplication::primaryScreen()) {
        // Qt's logical rectangles, scaled by the primary screen's ratio as a
        // whole: a window placed from them covers what they cover.
        const double r = device_pixel_ratio();
        const QRect primary = s->geometry();
        m.width_px = to_device_edge(primary.width(), r);
        m.height_px = to_device_edge(primary.height(), r);
        const QRect desktop = virtual_desktop().translated(-primary.topLeft());
        m.desktop_px = rt::PixelRect{to_device(desktop.left(), r), to_device(desktop.top(), r),
                                     to_device_edge(desktop.left() + desktop.width(), r),
                                     to_device_edge(desktop.top() + desktop.height(), r)};
    }
    return m;
}

QPoint QtWindowSystem::origin() {
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary != nullptr ? primary->geometry().topLeft() : QPoint();
}

QRect QtWindowSystem::virtual_desktop() {
    if (!desktop_) {
        QRect area;
        for (const QScreen* s : QGuiApplication::screens()) area |= s->geometry();
        // Qt lists what RandR reports; with Xinerama alone it lists one head
        // while the root window spans them all.
        if (const auto root = x11().client_rect(x11().root_window())) {
            const QScreen* primary = QGuiApplication::primaryScreen();
            const double ratio = primary != nullptr ? primary->devicePixelRatio() : 1.0;
            area |= QRect(0, 0, qRound(root->right / ratio), qRound(root->bottom / ratio));
        }
        desktop_ = area;
    }
    return *desktop_;
}

void QtWindowSystem::watch_screens() {
    screen_watch_ = std::make_unique<QObject>();
    QObject* context = screen_watch_.get();
    // Each runs inside the failure boundary, as every connected signal does.
    QObject::connect(qGuiApp, &QGuiApplication::screenAdded, context, [this](QScreen* s) {
        rt::guarded(services_, [&] {
            watch_screen(s);
            display_changed();
        });
    });
    QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, context,
                     [this](QScreen*) { rt::guarded(services_, [this] { display_changed(); }); });
    QObject::connect(qGuiApp, &QGuiApplication::primaryScreenChanged, context,
                     [this](QScreen*) { rt::guarded(services_, [this] { display_changed(); }); });
    for (QScreen* s : QGuiApplication::screens()) watch_screen(s);
}

void QtWindowSystem::watch_screen(QScreen* screen) {
    QObject::connect(screen, &QScreen::geometryChanged, screen_watch_.get(),
                     [this](const QRect&) { rt::guarded(services_, [this] { display_changed(); }); });
}

void QtWindowSystem::display_changed() {
    desktop_.reset();
    // Each output has its surface at once: a screen that goes is gone when its signal returns.
    for (auto& [widget, views] : outputs_) views->outputs_changed();
    if (display_change_pending_) return;
    display_change_pending_ = true;
    // Qt reports one change as several signals: the forms hear of it once.
    QTimer::singleShot(0, screen_watch_.get(), [this] {
        rt::guarded(services_, [this] {
            display_change_pending_ = false;
            trace_.line("display changed");
            std::vector<QPointer<FormWidget>> windows;
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* form_widget = dynamic_cast<FormWidget*>(w)) windows.emplace_back(form_widget);
            }
            for (const auto& w : windows) {
                FormWidget* widget = w.data();
                if (widget == nullptr || widget->form() == nullptr) continue;
                widget->apply_geometry();  // positions count from the primary screen, which may have moved
                widget->apply_font();      // and the screen may show at another pixel ratio
                if (rt::Form* form = widget->form()) form->deliver_display_changed();
            }
        });
    });
}

std::optional<rt::PixelPoint> QtWindowSystem::pointer_position() {
    if (hack_) return std::nullopt;  // a hack takes no input
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary == nullptr) return std::nullopt;
    const auto device = [](const QPoint& global) {
        const QPointF p = QPointF(global - origin()) * device_pixel_ratio();
        return rt::PixelPoint{static_cast<int>(std::lround(p.x())), static_cast<int>(std::lround(p.y()))};
    };
    std::optional<rt::PixelPoint> at;
    if (wayland_watch_) {
        if (const auto global = wayland_watch_->position()) at = device(*global);
    } else if (const auto native = x11().pointer()) {
        // X11's own device pixels: Qt's logical position is rounded at a fractional scale. A screen's
        // top-left corner is the same point in both.
        at = rt::PixelPoint{native->x - origin().x(), native->y - origin().y()};
    } else {
        at = device(QCursor::pos(primary));
    }
    if (!at) return std::nullopt;
    trace_.line("pointer at " + std::to_string(at->x) + "," + std::to_string(at->y));
    return at;
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
    // Relative to the primary screen, as the forms' own positions are.
    const QPoint o = origin();
    return rt::PixelRect{r->left - o.x(), r->top - o.y(), r->right - o.x(), r->bottom - o.y()};
}

void QtWindowSystem::request_quit() {
    quit_ = true;
    // A dialog of Qt's (a message box, the colour or file dialog) runs a loop of its own.
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QDialog*>(w); dialog != nullptr && dialog->isVisible()) dialog->reject();
    }
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

void QtWindowSystem::place(FormWidget& widget) {
    if (hack_ || !on_wayland() || outputs_.count(&widget) != 0) return;
    if (widget.form() != nullptr && widget.form()->design().border == rt::BorderStyle::None) {
        outputs_[&widget] = std::make_unique<OutputViews>(*this, widget);
        return;
    }
    if (QWindow* parent = newest_surface(&widget)) {
        (void)widget.winId();
        widget.windowHandle()->setTransientParent(parent);
    }
}

QWidget* QtWindowSystem::window_above(const QWidget& covering) const {
    QWidget* newest = wayland_watch_ ? wayland_watch_->newest_window() : nullptr;
    return newest != &covering ? newest : nullptr;
}

bool QtWindowSystem::covers_outputs() const {
    return std::any_of(outputs_.begin(), outputs_.end(), [](const auto& entry) { return entry.second->shown(); });
}

QWindow* QtWindowSystem::newest_surface(const QWidget* opening) const {
    const OutputViews* covering = nullptr;
    const QWidget* covering_widget = nullptr;
    for (const auto& [widget, views] : outputs_) {
        if (views->shown()) {
            covering = views.get();
            covering_widget = widget;
        }
    }
    if (covering == nullptr) return nullptr;
    if (QWidget* above = window_above(*covering_widget); above != nullptr && above != opening && above->windowHandle()) {
        return above->windowHandle();
    }
    return covering->primary_surface();
}

void QtWindowSystem::take_pointer_reference() {
    const std::vector<FormWidget*> shown = shown_;
    for (FormWidget* widget : shown) {
        rt::Form* form = widget->form();
        if (form != nullptr && form->Visible()) form->deliver_pointer_known();
    }
}

void QtWindowSystem::window_shown(FormWidget* widget) {
    shown_.erase(std::remove(shown_.begin(), shown_.end(), widget), shown_.end());
    shown_.push_back(widget);
}

void QtWindowSystem::forget_window(FormWidget* widget) {
    if (hack_) hack_->forget(widget);
    outputs_.erase(widget);
    shown_.erase(std::remove(shown_.begin(), shown_.end(), widget), shown_.end());
}

void QtWindowSystem::give_back_keyboard() {
    // Without a window manager nobody else gives the keyboard back when a
    // window closes: it goes to the program's most recently shown window.
    if (hack_mode()) return;
    for (auto it = shown_.rbegin(); it != shown_.rend(); ++it) {
        if ((*it)->form() != nullptr && (*it)->isVisible()) {
            if (const auto views = outputs_.find(*it); views != outputs_.end()) {
                views->second->activate();
            } else {
                (*it)->activateWindow();
            }
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
      dialogs_(services_, trace_, [this] { windows_.give_back_keyboard(); },
               [this] { return windows_.covers_outputs(); }) {}

QtPlatform::~QtPlatform() = default;

}  // namespace vellora::qt
