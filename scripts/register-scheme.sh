#!/usr/bin/env bash
# Registers the namorix:// URL scheme for the current user, handled by the given binary:
# a user-local copy of data/namorix.desktop pointing at it, made the default for the scheme.
#   register-scheme.sh /absolute/path/to/namorix
set -euo pipefail
cd "$(dirname "$0")/.."

binary=$(realpath "$1")
apps="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
mkdir -p "$apps"
sed -e "s|^Exec=namorix |Exec=$binary |" -e "s|^Icon=namorix$|Icon=$PWD/data/icons/namorix.svg|" \
    data/namorix.desktop >"$apps/namorix.desktop"
xdg-mime default namorix.desktop x-scheme-handler/namorix
if command -v update-desktop-database >/dev/null; then
    update-desktop-database -q "$apps" || true
fi
