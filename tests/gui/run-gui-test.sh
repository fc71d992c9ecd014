#!/usr/bin/env bash
# Runs one AT-SPI script (gui_*.py, sharing harness.py) on a virtual display (Xvfb) inside a
# private D-Bus session, bounded in time; everything started here ends with it.
#   run-gui-test.sh SCRIPT NAMORIX LLMSTUB_SERVER SCREENSHOT_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
xvfb_pid=
cleanup() {
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || { echo "Xvfb did not start:" >&2; cat "$tmp/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(cat "$tmp/display")"
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS WAYLAND_DISPLAY

script=$1
shift
timeout -k 10 200 dbus-run-session -- /usr/bin/python3 "$here/$script" "$@"
