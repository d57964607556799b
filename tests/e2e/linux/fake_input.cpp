// fake_input STEP... ("move X Y", "click", "wait MS"): a user's pointer on a headless KWin (with
// KWIN_WAYLAND_NO_PERMISSION_CHECKS=1), which has one only while this client is connected: one run, all the steps.
#include <wayland-client.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "fake-input-client.h"

namespace {

constexpr std::uint32_t kButtonLeft = 0x110;  // BTN_LEFT

void global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4) {
        *static_cast<org_kde_kwin_fake_input**>(data) = static_cast<org_kde_kwin_fake_input*>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
    }
}
void global_remove(void*, wl_registry*, uint32_t) {}
constexpr wl_registry_listener listener{global, global_remove};

}  // namespace

int main(int argc, char** argv) {
    wl_display* display = wl_display_connect(nullptr);
    org_kde_kwin_fake_input* input = nullptr;
    if (display != nullptr) {
        wl_registry* registry = wl_display_get_registry(display);
        wl_registry_add_listener(registry, &listener, &input);
        wl_display_roundtrip(display);
        wl_registry_destroy(registry);
    }
    if (input == nullptr) {
        std::fprintf(stderr, "fake_input: no compositor with org_kde_kwin_fake_input 4\n");
        if (display != nullptr) wl_display_disconnect(display);
        return 1;
    }
    org_kde_kwin_fake_input_authenticate(input, "vellora tests", "end-to-end tests");
    int status = 0;
    for (int i = 1; i < argc && status == 0; ++i) {
        const std::string step = argv[i];
        const auto number = [&] { return i + 1 < argc ? std::atoi(argv[++i]) : -1; };
        if (step == "move") {
            const int x = number();
            org_kde_kwin_fake_input_pointer_motion_absolute(input, wl_fixed_from_int(x), wl_fixed_from_int(number()));
        } else if (step == "click") {
            org_kde_kwin_fake_input_button(input, kButtonLeft, WL_POINTER_BUTTON_STATE_PRESSED);
            org_kde_kwin_fake_input_button(input, kButtonLeft, WL_POINTER_BUTTON_STATE_RELEASED);
        } else if (step == "wait") {
            wl_display_flush(display);
            std::this_thread::sleep_for(std::chrono::milliseconds(number()));
        } else {
            std::fprintf(stderr, "fake_input: no step \"%s\" (move X Y, click, wait MS)\n", step.c_str());
            status = 2;
        }
        if (status == 0 && wl_display_roundtrip(display) < 0) status = 1;
    }
    org_kde_kwin_fake_input_destroy(input);
    wl_display_disconnect(display);
    return status;
}
