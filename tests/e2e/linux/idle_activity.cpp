// Stands in for a user's input on a compositor that takes no simulated
// keys (KWin headless): asks org_kde_kwin_idle to count as user activity,
// which resets every idle timer of the seat.
//   idle_activity      (WAYLAND_DISPLAY names the compositor)
#include <wayland-client.h>

#include <cstdio>
#include <cstring>

#include "idle-client.h"

namespace {

struct Globals {
    wl_seat* seat = nullptr;
    org_kde_kwin_idle* idle = nullptr;
};

void global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    auto* globals = static_cast<Globals*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !globals->seat) {
        globals->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0) {
        globals->idle = static_cast<org_kde_kwin_idle*>(wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1));
    }
}
void global_remove(void*, wl_registry*, uint32_t) {}
constexpr wl_registry_listener listener{global, global_remove};

}  // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "idle_activity: no compositor\n");
        return 1;
    }
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, &globals);
    wl_display_roundtrip(display);
    int ok = -1;
    if (globals.seat && globals.idle) {
        auto* timeout = org_kde_kwin_idle_get_idle_timeout(globals.idle, globals.seat, 3'600'000);
        org_kde_kwin_idle_timeout_simulate_user_activity(timeout);
        ok = wl_display_roundtrip(display);
        org_kde_kwin_idle_timeout_release(timeout);
    } else {
        std::fprintf(stderr, "idle_activity: the compositor has no org_kde_kwin_idle\n");
    }
    // Every proxy goes before the connection, so a leak check sees nothing of ours.
    if (globals.idle) org_kde_kwin_idle_destroy(globals.idle);
    if (globals.seat) wl_seat_destroy(globals.seat);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return ok < 0 ? 1 : 0;
}
