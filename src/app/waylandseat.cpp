#include "app/waylandseat.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstring>
#include <wayland-client.h>

namespace {

bool seatOffered = false;

void announced(void *, wl_registry *, uint32_t, const char *interface, uint32_t)
{
    if (std::strcmp(interface, "wl_seat") == 0)
        seatOffered = true;
}

void withdrawn(void *, wl_registry *, uint32_t) {}

const wl_registry_listener Listener{announced, withdrawn};

bool windowGoesToWayland()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty())
        return platform.startsWith("wayland");
    // Qt picks Wayland for a Wayland session; without a compositor's name there is none to ask.
    return qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && qgetenv("XDG_SESSION_TYPE") != "x11";
}

} // namespace

namespace WaylandSeat {

void avoidSeatlessInputMethod()
{
    if (qEnvironmentVariableIsSet("QT_IM_MODULE") || !windowGoesToWayland())
        return;
    wl_display *display = wl_display_connect(nullptr);
    if (!display)
        return;
    wl_registry *registry = wl_display_get_registry(display);
    seatOffered = false;
    wl_registry_add_listener(registry, &Listener, nullptr);
    const bool answered = wl_display_roundtrip(display) >= 0;
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    if (answered && !seatOffered)
        qputenv("QT_IM_MODULE", "compose");
}

} // namespace WaylandSeat
