# Sourced by the GUI test scripts: starts a headless Weston (pixman renderer, so that its
# screenshooter has pixels to read; --debug allows the screenshooter) listening on a private
# socket in a private runtime folder (mode 0700). Sets WESTON_SOCKET (an absolute path, usable as
# WAYLAND_DISPLAY whatever XDG_RUNTIME_DIR is) and $tmp (a scratch folder), and removes both
# when the sourcing script exits. Exits 77 (skipped) when Weston does not start at all.
tmp=$(mktemp -d)
weston_pid=
cleanup() {
    [ -z "$weston_pid" ] || kill "$weston_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT
mkdir -m 700 "$tmp/runtime"
if ! command -v weston >/dev/null; then
    echo "SKIPPED: weston is not installed (scripts/install-deps.sh installs it)" >&2
    exit 77
fi
XDG_RUNTIME_DIR="$tmp/runtime" weston --backend=headless-backend.so --use-pixman --socket=wayland-test \
    --width=1280 --height=900 --idle-time=0 --debug >"$tmp/weston.log" 2>&1 &
weston_pid=$!
WESTON_SOCKET=$tmp/runtime/wayland-test
for _ in $(seq 100); do [ -S "$WESTON_SOCKET" ] && break; kill -0 "$weston_pid" 2>/dev/null || break; sleep 0.1; done
if [ ! -S "$WESTON_SOCKET" ]; then
    echo "SKIPPED: weston did not start:" >&2
    cat "$tmp/weston.log" >&2
    exit 77
fi
