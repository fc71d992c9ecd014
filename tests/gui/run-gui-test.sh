#!/usr/bin/env bash
# Runs one AT-SPI script (gui_*.py, sharing harness.py) on a virtual display (Xvfb) inside a
# private D-Bus session, bounded in time; everything started here ends with it.
#   run-gui-test.sh SCRIPT NAMORIX LLMSTUB_SERVER SCREENSHOT_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/xvfb.sh"
export DISPLAY="$XVFB_DISPLAY"
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS WAYLAND_DISPLAY

script=$1
shift
timeout -k 10 200 dbus-run-session -- /usr/bin/python3 "$here/$script" "$@"
