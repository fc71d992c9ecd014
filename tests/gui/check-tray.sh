#!/usr/bin/env bash
# The tray icon on a desktop that has a tray: `namorix --hidden` on a virtual display (Xvfb),
# with a StatusNotifier watcher (tests/support/sniwatcher) on a private session bus. The icon
# registers, no window shows; activating the icon (a left click) shows the 300-point panel, and a
# second start the window.
# With --wayland the same natively on a headless Weston, whose scene graph tells what shows.
#   check-tray.sh [--wayland] NAMORIX SNIWATCHER
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" != --inner ]; then
    platform=xcb
    [ "${1:-}" != --wayland ] || { platform=wayland; shift; }
    . "$here/display.sh" "$platform"
    export NAMORIX_TEST_DISPLAY="$TEST_DISPLAY"
    # with-session-bus.sh clears DISPLAY and WAYLAND_DISPLAY; the inner run takes it back from here.
    timeout -k 5 90 "$here/../support/with-session-bus.sh" bash "$0" --inner "$platform" "$@"
    exit
fi

platform=$2 namorix=$3 watcher=$4
export QT_QPA_PLATFORM=$platform
if [ "$platform" = wayland ]; then
    export WAYLAND_DISPLAY=$NAMORIX_TEST_DISPLAY
else
    export DISPLAY=$NAMORIX_TEST_DISPLAY
fi
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION
mkdir -p "$XDG_CONFIG_HOME/namorix"
echo '{"api.enabled": false, "kvx.enabled": false, "hasAcceptedLegal": true, "onboardingDone": true}' \
    >"$XDG_CONFIG_HOME/namorix/settings.json"
fail() { echo "check-tray: $*" >&2; exit 1; }
# Viewable top-level windows named "Namorix", as "WIDTHxHEIGHT" lines.
shown() {
    if [ "$platform" = wayland ]; then
        weston-debug scene-graph 2>/dev/null | awk -F'[(), ]+' "/top-level window 'Namorix'/ {getline; print \$5 - \$2 \"x\" \$6 - \$3}" || true
    else
        for id in $(xwininfo -root -tree | awk '/"Namorix"/ {print $1}'); do # unmapped ones too: the panel's owner
            xwininfo -id "$id" | awk '/Width:/ {w = $2} /Height:/ {h = $2} /IsViewable/ {print w "x" h}'
        done
    fi
}

items=$XDG_RUNTIME_DIR/items
"$watcher" >"$items" &
watcher_pid=$!
trap 'kill $watcher_pid 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.kde.StatusNotifierWatcher 2>/dev/null | grep -q true && break
    sleep 0.1
done

"$namorix" --hidden >"$XDG_RUNTIME_DIR/app.log" 2>&1 &
app=$!
# The app writes its store's last words while it ends: wait for it before the home goes.
trap 'kill $app $watcher_pid 2>/dev/null || true; wait $app 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -s "$items" ] && break; sleep 0.1; done
[ -s "$items" ] || { cat "$XDG_RUNTIME_DIR/app.log" >&2; fail "no tray icon registered"; }
item=$(head -n 1 "$items")

dbus-send --session --type=method_call --dest="$item" /StatusNotifierItem org.kde.StatusNotifierItem.Activate \
    int32:1200 int32:10
for _ in $(seq 50); do shown | grep -q '^300x' && break; sleep 0.1; done
shown | grep -q '^300x' || { cat "$XDG_RUNTIME_DIR/app.log" >&2; fail "activating the icon showed no panel: $(shown)"; }
# The panel came after the start's windows would have: it is the only one.
shown | grep -qv '^300x' && fail "a window shows after --hidden: $(shown)"
# A second start hands over to the running one, and its hidden window comes up.
"$namorix" >>"$XDG_RUNTIME_DIR/app.log" 2>&1 || fail "the second start failed"
for _ in $(seq 50); do shown | grep -qv '^300x' && break; sleep 0.1; done
shown | grep -qv '^300x' || { cat "$XDG_RUNTIME_DIR/app.log" >&2; fail "a second start showed no window: $(shown)"; }
kill -0 $app || fail "namorix ended"
echo "check-tray: ok; shown: $(shown | tr "\n" " ")"
