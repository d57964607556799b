// XScreenSaver starts a hack as "vellora -root" (XScreenSaver 6: "--root"
// with XSCREENSAVER_WINDOW set to the window to draw in) or
// "vellora -window-id ID". This reads those arguments.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vellora::qt {

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

}  // namespace vellora::qt
