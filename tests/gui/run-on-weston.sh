#!/usr/bin/env bash
# Runs a command natively on a headless Weston (QT_QPA_PLATFORM=wayland, no X server), which ends
# with it. Exits 77 (skipped) when Weston cannot start at all.
#   run-on-weston.sh COMMAND [ARGS...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
unset DISPLAY
. "$here/display.sh" wayland
export WAYLAND_DISPLAY="$TEST_DISPLAY" QT_QPA_PLATFORM=wayland
"$@"
