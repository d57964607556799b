#include "platform/qt/x11_windows.h"

#include <X11/Xlib.h>

namespace vellora::x11 {

namespace {

int ignore_errors(::Display* /*display*/, XErrorEvent* /*event*/) { return 0; }

// Installs the ignoring handler for the length of one query.
class TrapErrors {
public:
    explicit TrapErrors(::Display* display) : display_(display) {
        XSync(display_, False);
        previous_ = XSetErrorHandler(ignore_errors);
    }
    ~TrapErrors() {
        XSync(display_, False);
        XSetErrorHandler(previous_);
    }
    TrapErrors(const TrapErrors&) = delete;
    TrapErrors& operator=(const TrapErrors&) = delete;

private:
    ::Display* display_;
    int (*previous_)(::Display*, XErrorEvent*) = nullptr;
};

}  // namespace

Display::Display(bool connect) : display_(connect ? XOpenDisplay(nullptr) : nullptr) {}

Display::~Display() {
    if (display_ != nullptr) XCloseDisplay(static_cast<::Display*>(display_));
}

bool Display::exists(std::uint32_t window) {
    if (display_ == nullptr || window == 0) return false;
    auto* d = static_cast<::Display*>(display_);
    TrapErrors trap(d);
    XWindowAttributes attributes{};
    return XGetWindowAttributes(d, window, &attributes) != 0;
}

std::optional<Rect> Display::client_rect(std::uint32_t window) {
    if (display_ == nullptr || window == 0) return std::nullopt;
    auto* d = static_cast<::Display*>(display_);
    TrapErrors trap(d);
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(d, window, &attributes) == 0) return std::nullopt;
    return Rect{0, 0, attributes.width, attributes.height};
}

std::optional<Rect> Display::window_rect(std::uint32_t window) {
    if (display_ == nullptr || window == 0) return std::nullopt;
    auto* d = static_cast<::Display*>(display_);
    TrapErrors trap(d);
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(d, window, &attributes) == 0) return std::nullopt;
    int x = 0;
    int y = 0;
    ::Window child = 0;
    if (XTranslateCoordinates(d, window, attributes.root, 0, 0, &x, &y, &child) == 0) return std::nullopt;
    const int b = attributes.border_width;
    return Rect{x - b, y - b, x + attributes.width + b, y + attributes.height + b};
}

std::uint32_t Display::root_window() {
    if (display_ == nullptr) return 0;
    return static_cast<std::uint32_t>(XDefaultRootWindow(static_cast<::Display*>(display_)));
}

std::optional<Point> Display::pointer() {
    if (display_ == nullptr) return std::nullopt;
    auto* d = static_cast<::Display*>(display_);
    ::Window root = 0;
    ::Window child = 0;
    Point at;
    int x = 0;
    int y = 0;
    unsigned int mask = 0;
    if (XQueryPointer(d, XDefaultRootWindow(d), &root, &child, &at.x, &at.y, &x, &y, &mask) == 0) return std::nullopt;
    return at;
}

}  // namespace vellora::x11
