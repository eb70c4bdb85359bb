// Makes pointer input on a compositor that offers virtual pointers, for the tests: each
// argument is a step, done in order.
//   wait:MS         pause
//   move:DX,DY      a relative motion
//   click           the left button pressed and released
// Exit status 0 when every step was sent, 1 when the compositor cannot take them.
#include <linux/input-event-codes.h>
#include <time.h>
#include <wayland-client.h>

#include <cstdio>
#include <cstring>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace {

wl_seat* Seat = nullptr;
zwlr_virtual_pointer_manager_v1* Manager = nullptr;

void OnGlobal(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
{
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && Seat == nullptr) {
        Seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        Manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    }
}

void OnGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener RegistryListener = {OnGlobal, OnGlobalRemove};

uint32_t NowMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

}  // namespace

int main(int argc, char** argv)
{
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "virtual_pointer: no compositor\n");
        return 1;
    }
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &RegistryListener, nullptr);
    wl_display_roundtrip(display);
    if (Seat == nullptr || Manager == nullptr) {
        std::fprintf(stderr, "virtual_pointer: the compositor offers no virtual pointers\n");
        return 1;
    }
    zwlr_virtual_pointer_v1* pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(Manager, Seat);
    wl_display_roundtrip(display);
    for (int i = 1; i < argc; ++i) {
        int a = 0;
        int b = 0;
        if (std::sscanf(argv[i], "wait:%d", &a) == 1) {
            timespec pause{a / 1000, (a % 1000) * 1000000L};
            nanosleep(&pause, nullptr);
            continue;
        }
        if (std::sscanf(argv[i], "move:%d,%d", &a, &b) == 2) {
            zwlr_virtual_pointer_v1_motion(pointer, NowMs(), wl_fixed_from_int(a),
                                           wl_fixed_from_int(b));
        } else if (std::strcmp(argv[i], "click") == 0) {
            zwlr_virtual_pointer_v1_button(pointer, NowMs(), BTN_LEFT, 1);
            zwlr_virtual_pointer_v1_frame(pointer);
            zwlr_virtual_pointer_v1_button(pointer, NowMs(), BTN_LEFT, 0);
        } else {
            std::fprintf(stderr, "virtual_pointer: unknown step '%s'\n", argv[i]);
            return 1;
        }
        zwlr_virtual_pointer_v1_frame(pointer);
        if (wl_display_roundtrip(display) < 0) return 1;
    }
    // Ours only: the compositor drops the device with the connection.
    zwlr_virtual_pointer_v1_destroy(pointer);
    zwlr_virtual_pointer_manager_v1_destroy(Manager);
    wl_seat_destroy(Seat);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return 0;
}
