// XScreenSaver starts a hack as "vellora -root" (XScreenSaver 6: "--root"
// with XSCREENSAVER_WINDOW set to the window to draw in) or
// "vellora -window-id ID". This reads those arguments, and keeps the saver's
// window inside the window it was given (the host) while it runs.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QTimer;

namespace vellora::qt {

class FormWidget;
class QtWindowSystem;

struct HackArguments {
    bool root = false;                     // draw in the root window (or XSCREENSAVER_WINDOW)
    std::optional<std::uint32_t> window;   // the window to draw in
};

// Nothing when the arguments are not a hack's. `xscreensaver_window` is the
// value of XSCREENSAVER_WINDOW (empty when unset); it names the window for -root.
std::optional<HackArguments> parse_hack_arguments(const std::vector<std::string>& args,
                                                  const std::string& xscreensaver_window);

// A window id written in decimal or as 0x-prefixed hexadecimal; nothing for
// text that is not a whole id or does not fit in 32 bits.
std::optional<std::uint32_t> parse_window_id(const std::string& text);

// argv[1..] joined with blanks: the argument text that start-up reads.
std::string join_arguments(const std::vector<std::string>& args);

// Hack mode: the saver draws into a window it is given.
struct HackTarget {
    std::uint32_t window = 0;  // X11 window id
};

// The host window of a hack. The saver's window lives inside it and covers
// it; every 250 ms the host is looked at: the saver follows its size, and
// once the host is gone the saver unloads and every loop ends.
class HackHost {
public:
    HackHost(QtWindowSystem& windows, std::uint32_t host);
    ~HackHost();
    HackHost(const HackHost&) = delete;
    HackHost& operator=(const HackHost&) = delete;

    [[nodiscard]] std::uint32_t window() const { return host_; }
    // The host's inner size in pixels as last seen; looked up on first use.
    [[nodiscard]] int width();
    [[nodiscard]] int height();
    // `window` now lives inside the host and follows it; the polling starts.
    void follow(FormWidget* window);
    // `window` is going away.
    void forget(const FormWidget* window);

private:
    void look_up_size();
    void poll();

    QtWindowSystem& windows_;
    std::uint32_t host_;
    FormWidget* window_ = nullptr;
    std::unique_ptr<QTimer> poll_;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace vellora::qt
