#!/usr/bin/env bash
# Launch time and memory of the real app with a long history, on a virtual X display (Xvfb) in a
# private D-Bus session, as the GUI tests run it.
#   bench_launch.sh NAMORIX
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS WAYLAND_DISPLAY DISPLAY
. "$here/../tests/gui/display.sh" xcb
export DISPLAY="$TEST_DISPLAY"
timeout -k 10 600 dbus-run-session -- /usr/bin/python3 "$here/bench_launch.py" "$1"
