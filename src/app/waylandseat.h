#pragma once

/**
 * Works around a crash of Qt 6.4's Wayland client: on a compositor that offers no seat (a
 * headless one, as the tests use), the Wayland input method dereferences the missing input
 * device as soon as a text field paints its cursor, which ends the app in every file dialog.
 * A real session always has a seat and is not affected. Without a seat there is no keyboard
 * either, so the plain compose input method loses nothing there.
 *
 * Call before the QApplication is made: asks the compositor named by WAYLAND_DISPLAY (when the
 * window goes there) for its globals and sets QT_IM_MODULE=compose when no wl_seat is among
 * them. Does nothing on X11, when QT_IM_MODULE is set, or when no compositor answers.
 */
namespace WaylandSeat {
void avoidSeatlessInputMethod();
}
