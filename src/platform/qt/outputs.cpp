#include "platform/qt/outputs.h"

#include <QCursor>
#include <QEvent>
#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include "platform/qt/platform.h"
#include "runtime/failure.h"

namespace vellora::qt {

bool on_wayland() { return QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

namespace {

// One output's surface. A compositor may leave the keyboard here when a
// window of the program opens above (sway keeps it on a full-screen window):
// keys typed while the form waits on such a window go to that window.
class OutputView final : public QGraphicsView {
public:
    OutputView(QtWindowSystem& windows, QGraphicsScene* scene, QWidget& form)
        : QGraphicsView(scene), windows_(windows), form_(form) {}

protected:
    bool viewportEvent(QEvent* event) override {
        if (event->type() == QEvent::Enter) {
            // Qt 6.4 sets the pointer's image only when it changes while the pointer is
            // over a surface, not as it enters one: the compositor would show its own.
            rt::guarded(windows_.services(), [] {
                if (const QCursor* cursor = QGuiApplication::overrideCursor()) {
                    const QCursor wanted = *cursor;
                    QGuiApplication::changeOverrideCursor(QCursor(Qt::ArrowCursor));
                    QGuiApplication::changeOverrideCursor(wanted);
                }
            });
        }
        return QGraphicsView::viewportEvent(event);
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (!pass_on(event)) QGraphicsView::keyPressEvent(event);
    }
    void keyReleaseEvent(QKeyEvent* event) override {
        if (!pass_on(event)) QGraphicsView::keyReleaseEvent(event);
    }

private:
    // True when the key went to a window above the form.
    bool pass_on(QKeyEvent* event) {
        bool passed = false;
        rt::guarded(windows_.services(), [&] {
            QWidget* above = windows_.window_above(form_);
            if (above == nullptr) return;
            passed = true;
            QWidget* target = above->focusWidget() != nullptr ? above->focusWidget() : above;
            QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->nativeScanCode(),
                           event->nativeVirtualKey(), event->nativeModifiers(), event->text(), event->isAutoRepeat(),
                           event->count());
            QCoreApplication::sendEvent(target, &copy);
        });
        return passed;
    }

    QtWindowSystem& windows_;
    QWidget& form_;
};

}  // namespace

OutputViews::OutputViews(QtWindowSystem& windows, QWidget& form)
    : windows_(windows), form_(form), scene_(std::make_unique<QGraphicsScene>()) {
    scene_->setItemIndexMethod(QGraphicsScene::NoIndex);
    proxy_ = scene_->addWidget(&form_);
    proxy_->setFlag(QGraphicsItem::ItemIsFocusable);
    proxy_->setVisible(false);  // embedding showed the form; it shows when its window does
    QObject::connect(proxy_, &QGraphicsObject::visibleChanged, this, [this] {
        rt::guarded(windows_.services(), [this] { proxy_->isVisible() ? show() : hide(); });
    });
}

OutputViews::~OutputViews() {
    // The form's widget is its form window's, not the scene's.
    if (proxy_ != nullptr) proxy_->setWidget(nullptr);
    // A surface's own handler may be running: it goes once none can be.
    for (auto& [screen, view] : views_) {
        view->hide();
        windows_.bury(view.release());
    }
    windows_.bury(scene_.release());
}

void OutputViews::add(QScreen* screen) {
    auto view = std::make_unique<OutputView>(windows_, scene_.get(), form_);
    view->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    view->setFrameShape(QFrame::NoFrame);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    view->setBackgroundBrush(Qt::black);
    view->setWindowTitle(form_.windowTitle());
    view->setSceneRect(screen->geometry());
    // Qt 6.4 asks for the first output whatever setScreen() said, unless the
    // window already lies on the output it is given.
    view->setGeometry(screen->geometry());
    (void)view->winId();
    view->windowHandle()->setScreen(screen);
    if (shown_) view->showFullScreen();
    views_[screen] = std::move(view);
}

void OutputViews::show() {
    shown_ = true;
    outputs_changed();
    for (auto& [screen, view] : views_) view->showFullScreen();
    activate();
}

void OutputViews::hide() {
    shown_ = false;
    for (auto& [screen, view] : views_) view->hide();
}

void OutputViews::outputs_changed() {
    const auto screens = QGuiApplication::screens();
    for (auto it = views_.begin(); it != views_.end();) {
        if (!screens.contains(it->first)) {
            it->second->hide();
            windows_.bury(it->second.release());
            it = views_.erase(it);
        } else {
            ++it;
        }
    }
    for (QScreen* s : screens) {
        auto it = views_.find(s);
        if (it == views_.end()) {
            add(s);
        } else {
            it->second->setSceneRect(s->geometry());
        }
    }
}

QGraphicsView* OutputViews::primary_view() const {
    auto it = views_.find(QGuiApplication::primaryScreen());
    if (it == views_.end()) it = views_.begin();
    return it == views_.end() ? nullptr : it->second.get();
}

QWindow* OutputViews::primary_surface() const {
    const QGraphicsView* view = primary_view();
    return view != nullptr ? view->windowHandle() : nullptr;
}

void OutputViews::activate() {
    QGraphicsView* view = primary_view();
    if (view == nullptr) return;
    view->activateWindow();
    scene_->setFocusItem(proxy_);
}

// ------------------------------------------------------------------ windows and the pointer

WaylandWatch::WaylandWatch(QtWindowSystem& windows) : windows_(windows) { qApp->installEventFilter(this); }

QWidget* WaylandWatch::newest_window() const {
    for (auto it = shown_.rbegin(); it != shown_.rend(); ++it) {
        QWidget* window = it->data();
        if (window != nullptr && window->isVisible() && !window->testAttribute(Qt::WA_DontShowOnScreen)) return window;
    }
    return nullptr;
}

std::optional<QPoint> WaylandWatch::position() {
    if (taking_) return seen_;
    pending_ = true;
    return std::nullopt;
}

bool WaylandWatch::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show) {
        // A window that opens while a form covers the outputs (a message box) is a child of
        // the newest window there, which compositors keep above a full-screen window.
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget == nullptr || !widget->isWindow() || qobject_cast<QGraphicsView*>(widget) != nullptr) return false;
        rt::guarded(windows_.services(), [&] {
            if (widget->windowHandle() != nullptr && widget->windowHandle()->transientParent() == nullptr) {
                if (QWindow* parent = windows_.newest_surface(widget)) widget->windowHandle()->setTransientParent(parent);
            }
            std::erase_if(shown_, [widget](const QPointer<QWidget>& w) { return w.isNull() || w == widget; });
            shown_.emplace_back(widget);
        });
        return false;
    }
    // Only what the compositor sent: the scene hands each movement on to the form as an event of its own.
    if (!pending_ || event->type() != QEvent::MouseMove || !event->spontaneous()) return false;
    rt::guarded(windows_.services(), [&] {
        pending_ = false;
        seen_ = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        taking_ = true;
        const rt::ScopeExit taken([this] { taking_ = false; });
        windows_.take_pointer_reference();
    });
    return true;  // the reference, not a move
}

}  // namespace vellora::qt
