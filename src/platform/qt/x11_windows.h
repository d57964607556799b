// Windows of other programs, by X11 window id. Kept apart from Qt and the
// runtime because the X11 headers define macros (None, Bool, Status...).
#pragma once

#include <cstdint>
#include <optional>

namespace vellora::x11 {

struct Point {
    int x = 0;
    int y = 0;
};

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// A connection of our own to the X server named by $DISPLAY. Every call
// works with X errors trapped, so a window that is gone is just "no window".
class Display {
public:
    // Connects to $DISPLAY when `connect`; a display not connected answers "no such window".
    explicit Display(bool connect = true);
    ~Display();
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    [[nodiscard]] bool connected() const { return display_ != nullptr; }
    [[nodiscard]] bool exists(std::uint32_t window);
    // Inner size at (0, 0).
    [[nodiscard]] std::optional<Rect> client_rect(std::uint32_t window);
    // Position on the screen and size, border included.
    [[nodiscard]] std::optional<Rect> window_rect(std::uint32_t window);
    [[nodiscard]] std::uint32_t root_window();
    // Where the pointer is on the root window, in the server's own pixels.
    [[nodiscard]] std::optional<Point> pointer();

private:
    void* display_ = nullptr;
};

}  // namespace vellora::x11
