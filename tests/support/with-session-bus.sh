#!/bin/sh
# Runs a command on a private D-Bus session bus that can start no services, with HOME and the
# XDG folders in a temporary directory, so a test never reaches the user's bus or keyring.
# With --keyring, gnome-keyring-daemon serves the Secret Service there, its login keyring
# created and unlocked with a throwaway password.
#   with-session-bus.sh [--keyring] command [args...]
set -eu

keyring=no
if [ "${1:-}" = --keyring ]; then
    keyring=yes
    shift
fi

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -m 700 "$root/home" "$root/runtime"
cat >"$root/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$root/runtime</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF

export HOME="$root/home" XDG_RUNTIME_DIR="$root/runtime"
export XDG_CONFIG_HOME="$root/home/.config" XDG_DATA_HOME="$root/home/.local/share"
export XDG_CACHE_HOME="$root/home/.cache"
export NAMORIX_PRIVATE_BUS=1 NAMORIX_PRIVATE_KEYRING=$keyring
unset DISPLAY WAYLAND_DISPLAY

dbus-run-session --config-file="$root/bus.conf" -- sh -c '
    if [ "$NAMORIX_PRIVATE_KEYRING" = yes ]; then
        printf throwaway | gnome-keyring-daemon --foreground --unlock --components=secrets >/dev/null 2>&1 &
        daemon=$!
        if ! gdbus wait --session --timeout 10 org.freedesktop.secrets; then
            echo "with-session-bus: gnome-keyring-daemon did not come up" >&2
            kill $daemon 2>/dev/null
            exit 1
        fi
        status=0
        "$@" || status=$?
        kill $daemon 2>/dev/null
        wait $daemon 2>/dev/null || true
        exit $status
    fi
    exec "$@"
' with-session-bus "$@"
