// ext-idle-notify-v1 and org_kde_kwin_idle: the compositor sends "idle"
// once the seat has had no input for the timeout (inhibitors honoured), and
// "resumed" at the next input.
#include <poll.h>
#include <wayland-client.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "ext-idle-notify-v1-client.h"
#include "idle-client.h"
#include "platform/linux/sources.h"

namespace vellora::lnx {
namespace {

using idle::Signal;

class WaylandIdle final : public idle::IdleSource {
public:
    WaylandIdle(idle::SourceKind kind, wl_display* display) : kind_(kind), display_(display) {}
    ~WaylandIdle() override {
        if (notification_) ext_idle_notification_v1_destroy(notification_);
        if (timeout_) org_kde_kwin_idle_timeout_release(timeout_);
        if (notifier_) ext_idle_notifier_v1_destroy(notifier_);
        if (kde_idle_) org_kde_kwin_idle_destroy(kde_idle_);
        if (seat_) wl_seat_destroy(seat_);
        if (registry_) wl_registry_destroy(registry_);
        wl_display_disconnect(display_);
    }
    WaylandIdle(const WaylandIdle&) = delete;
    WaylandIdle& operator=(const WaylandIdle&) = delete;

    // Binds the seat and the protocol; false when the compositor has either missing.
    bool start(unsigned seconds) {
        registry_ = wl_display_get_registry(display_);
        wl_registry_add_listener(registry_, &registry_listener, this);
        if (wl_display_roundtrip(display_) < 0 || !seat_) return false;
        const auto timeout_ms = seconds * 1000U;
        if (kind_ == idle::SourceKind::ext_idle_notify) {
            if (!notifier_) return false;
            notification_ = ext_idle_notifier_v1_get_idle_notification(notifier_, timeout_ms, seat_);
            ext_idle_notification_v1_add_listener(notification_, &ext_listener, this);
        } else {
            if (!kde_idle_) return false;
            timeout_ = org_kde_kwin_idle_get_idle_timeout(kde_idle_, seat_, timeout_ms);
            org_kde_kwin_idle_timeout_add_listener(timeout_, &kde_listener, this);
        }
        return wl_display_flush(display_) >= 0;
    }

    idle::Wait prepare() override {
        while (wl_display_prepare_read(display_) != 0) {
            if (wl_display_dispatch_pending(display_) < 0) lost();
        }
        wl_display_flush(display_);  // what does not fit now goes with the next wait
        return {wl_display_get_fd(display_), POLLIN, signals_.empty() ? -1 : 0};
    }

    std::vector<Signal> dispatch(short revents) override {
        if ((revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            if (wl_display_read_events(display_) < 0) lost();
        } else {
            wl_display_cancel_read(display_);
        }
        if (wl_display_dispatch_pending(display_) < 0) lost();
        return std::exchange(signals_, {});
    }

private:
    [[noreturn]] void lost() const {
        const int error = wl_display_get_error(display_);
        throw idle::SourceLost{"vellora --idle: lost the Wayland compositor (" +
                               std::string(std::strerror(error != 0 ? error : EPIPE)) + ")"};
    }

    static void global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
        auto* self = static_cast<WaylandIdle*>(data);
        const std::string_view which = interface;
        if (which == wl_seat_interface.name && !self->seat_) {
            self->seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        } else if (which == ext_idle_notifier_v1_interface.name && self->kind_ == idle::SourceKind::ext_idle_notify) {
            self->notifier_ = static_cast<ext_idle_notifier_v1*>(
                wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
        } else if (which == org_kde_kwin_idle_interface.name && self->kind_ == idle::SourceKind::kde_idle) {
            self->kde_idle_ =
                static_cast<org_kde_kwin_idle*>(wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1));
        }
    }
    static void global_remove(void*, wl_registry*, uint32_t) {}
    static void idled(void* data, ext_idle_notification_v1*) {
        static_cast<WaylandIdle*>(data)->signals_.push_back(Signal::idle);
    }
    static void resumed(void* data, ext_idle_notification_v1*) {
        static_cast<WaylandIdle*>(data)->signals_.push_back(Signal::active);
    }
    static void kde_idle(void* data, org_kde_kwin_idle_timeout*) {
        static_cast<WaylandIdle*>(data)->signals_.push_back(Signal::idle);
    }
    static void kde_resumed(void* data, org_kde_kwin_idle_timeout*) {
        static_cast<WaylandIdle*>(data)->signals_.push_back(Signal::active);
    }

    static constexpr wl_registry_listener registry_listener{global, global_remove};
    static constexpr ext_idle_notification_v1_listener ext_listener{idled, resumed};
    static constexpr org_kde_kwin_idle_timeout_listener kde_listener{kde_idle, kde_resumed};

    idle::SourceKind kind_;
    wl_display* display_;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    ext_idle_notifier_v1* notifier_ = nullptr;
    ext_idle_notification_v1* notification_ = nullptr;
    org_kde_kwin_idle* kde_idle_ = nullptr;
    org_kde_kwin_idle_timeout* timeout_ = nullptr;
    std::vector<Signal> signals_;
};

}  // namespace

std::unique_ptr<idle::IdleSource> open_wayland_idle(idle::SourceKind kind, unsigned seconds) {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) return nullptr;
    auto source = std::make_unique<WaylandIdle>(kind, display);
    if (!source->start(seconds)) return nullptr;
    return source;
}

}  // namespace vellora::lnx
