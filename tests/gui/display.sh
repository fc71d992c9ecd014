# Sourced by the GUI test scripts with the platform, xcb or wayland: starts a virtual X display
# (Xvfb) or a headless Weston, sets TEST_DISPLAY (for DISPLAY, or an absolute path for
# WAYLAND_DISPLAY) and $tmp (a scratch folder), and removes both when the sourcing script exits.
# Weston gets the pixman renderer (so that its screenshooter has pixels to read), --debug (which
# allows the screenshooter and weston-debug) and a private socket in a private runtime folder
# (mode 0700); the script exits 77 (skipped) when Weston does not start at all.
tmp=$(mktemp -d)
server_pid=
cleanup() {
    [ -z "$server_pid" ] || kill "$server_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT
if [ "$1" = wayland ]; then
    command -v weston >/dev/null || { echo "SKIPPED: weston is missing (scripts/install-deps.sh)" >&2; exit 77; }
    mkdir -m 700 "$tmp/runtime"
    XDG_RUNTIME_DIR="$tmp/runtime" weston --backend=headless-backend.so --use-pixman --socket=wayland-test \
        --width=1280 --height=900 --idle-time=0 --debug >"$tmp/server.log" 2>&1 &
    server_pid=$!
    TEST_DISPLAY=$tmp/runtime/wayland-test
    for _ in $(seq 100); do [ -S "$TEST_DISPLAY" ] && break; kill -0 "$server_pid" 2>/dev/null || break; sleep 0.1; done
    [ -S "$TEST_DISPLAY" ] || { echo "SKIPPED: weston did not start:" >&2; cat "$tmp/server.log" >&2; exit 77; }
else
    Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/server.log" &
    server_pid=$!
    for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
    [ -s "$tmp/display" ] || { echo "Xvfb did not start:" >&2; cat "$tmp/server.log" >&2; exit 1; }
    TEST_DISPLAY=":$(cat "$tmp/display")"
fi
