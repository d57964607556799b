// A Wayland desktop does not let a window place itself or span outputs: a
// full-screen window covers the one output the compositor gives it. A form
// that covers the whole desktop (the saver) is therefore shown there as one
// full-screen, undecorated surface per output, each a view onto its own
// slice of the one form. The form's widget itself is never a window of its
// own: it lives in a graphics scene whose coordinates are Qt's global ones,
// and each output's view shows the part of the scene that is that output.
// Painting, the labels on the form and the mouse reach the form through the
// scene as they would reach a window; the runtime never hears of outputs.
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class QGraphicsProxyWidget;
class QGraphicsScene;
class QGraphicsView;
class QScreen;
class QWidget;
class QWindow;

namespace vellora::qt {

class QtWindowSystem;

// True when the program runs on Qt's Wayland platform.
[[nodiscard]] bool on_wayland();

// The surfaces of one form. They show and hide with the form's widget.
class OutputViews final : public QObject {
public:
    // `form` is a top-level widget that was never shown on its own.
    OutputViews(QtWindowSystem& windows, QWidget& form);
    ~OutputViews() override;
    OutputViews(const OutputViews&) = delete;
    OutputViews& operator=(const OutputViews&) = delete;

    // The outputs changed: a new one gets its surface, one that went loses it,
    // and each surface shows its output's slice where the output now lies.
    void outputs_changed();
    // The surface on the primary output (the owner of the windows above the form).
    [[nodiscard]] QWindow* primary_surface() const;
    // Gives the keyboard to the primary output's surface.
    void activate();

    [[nodiscard]] bool shown() const { return shown_; }

private:
    // The primary output's surface, else any; nullptr when there is none.
    [[nodiscard]] QGraphicsView* primary_view() const;
    void add(QScreen* screen);
    void show();
    void hide();

    QtWindowSystem& windows_;
    QWidget& form_;
    std::unique_ptr<QGraphicsScene> scene_;
    QGraphicsProxyWidget* proxy_ = nullptr;  // owned by the scene
    std::map<QScreen*, std::unique_ptr<QGraphicsView>> views_;
    bool shown_ = false;
};

// What the program watches on Wayland besides its forms: the windows it
// shows, in order (a window that opens while a form covers the outputs gets
// its owner there, QtWindowSystem::newest_surface), and the pointer.
// Wayland tells a client where the pointer is only as it moves over the
// client's own surfaces, and where those lie only the compositor knows: so
// where the pointer rests is unknown. When a form asks (as it is shown, or
// takes input again), the answer is "not known", and the next movement
// becomes its reference point instead of counting as a move.
class WaylandWatch final : public QObject {
public:
    explicit WaylandWatch(QtWindowSystem& windows);
    // Where the pointer is, in Qt's global coordinates, while the reference is
    // being taken; otherwise nothing, and the next movement takes it.
    [[nodiscard]] std::optional<QPoint> position();
    // The program's window shown last that is still visible (not an output's surface), or nullptr.
    [[nodiscard]] QWidget* newest_window() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QtWindowSystem& windows_;
    std::optional<QPoint> seen_;
    std::vector<QPointer<QWidget>> shown_;  // top-level windows in the order they were shown
    bool pending_ = false;
    bool taking_ = false;
};

}  // namespace vellora::qt
