// MIT-SCREEN-SAVER: the X server counts the time since the last input; the
// counter is read when the delay may have run out (idle::InputCounter).
#include <poll.h>
#include <xcb/screensaver.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>

#include "platform/linux/sources.h"

namespace vellora::lnx {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

class X11Idle final : public idle::IdleSource {
public:
    X11Idle(xcb_connection_t* connection, xcb_window_t root, unsigned seconds)
        : connection_(connection), root_(root), counter_(std::chrono::seconds(seconds)) {}
    ~X11Idle() override { xcb_disconnect(connection_); }
    X11Idle(const X11Idle&) = delete;
    X11Idle& operator=(const X11Idle&) = delete;

    idle::Wait prepare() override {
        if (xcb_flush(connection_) <= 0) lost();
        const auto left = std::chrono::ceil<milliseconds>(next_reading_ - Clock::now());
        return {xcb_get_file_descriptor(connection_), POLLIN, static_cast<int>(std::max<long long>(0, left.count()))};
    }

    std::vector<idle::Signal> dispatch(short) override {
        while (auto* event = xcb_poll_for_event(connection_)) std::free(event);  // nothing is asked for
        if (xcb_connection_has_error(connection_) != 0) lost();
        if (Clock::now() < next_reading_) return {};
        const auto signals = counter_.reading(since_input());
        next_reading_ = Clock::now() + counter_.next_reading();
        return signals;
    }

private:
    [[noreturn]] static void lost() { throw idle::SourceLost{"vellora --idle: lost the X server"}; }

    milliseconds since_input() {
        auto* info = xcb_screensaver_query_info_reply(connection_, xcb_screensaver_query_info(connection_, root_),
                                                      nullptr);
        if (!info) lost();
        const milliseconds since(info->ms_since_user_input);
        std::free(info);
        return since;
    }

    xcb_connection_t* connection_;
    xcb_window_t root_;
    idle::InputCounter counter_;
    Clock::time_point next_reading_ = Clock::now();  // the first reading at once
};

}  // namespace

std::unique_ptr<idle::IdleSource> open_x11_idle(unsigned seconds) {
    int screen_number = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screen_number);
    if (xcb_connection_has_error(connection) != 0) {
        xcb_disconnect(connection);
        return nullptr;
    }
    const auto* extension = xcb_get_extension_data(connection, &xcb_screensaver_id);
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screen_number && screens.rem > 0; ++i) xcb_screen_next(&screens);
    if (!extension || !extension->present || screens.rem == 0) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return std::make_unique<X11Idle>(connection, screens.data->root, seconds);
}

}  // namespace vellora::lnx
