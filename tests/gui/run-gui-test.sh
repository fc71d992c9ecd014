#!/usr/bin/env bash
# Runs one AT-SPI script (gui_*.py, sharing harness.py) inside a private D-Bus session, bounded
# in time; everything started here ends with it. On a virtual X display (Xvfb) by default; with
# --wayland natively on a headless Weston instead (QT_QPA_PLATFORM=wayland, no X server at all).
#   run-gui-test.sh [--wayland] SCRIPT NAMORIX LLMSTUB_SERVER SCREENSHOT_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS WAYLAND_DISPLAY DISPLAY
export NAMORIX_GUI_PLATFORM=xcb
[ "${1:-}" != --wayland ] || { NAMORIX_GUI_PLATFORM=wayland; shift; }
. "$here/display.sh" "$NAMORIX_GUI_PLATFORM"
if [ "$NAMORIX_GUI_PLATFORM" = wayland ]; then export WAYLAND_DISPLAY="$TEST_DISPLAY"; else export DISPLAY="$TEST_DISPLAY"; fi

script=$1
shift
timeout -k 10 200 dbus-run-session -- /usr/bin/python3 "$here/$script" "$@"
