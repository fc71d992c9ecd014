#!/usr/bin/env bash
# Installs what is missing, builds, registers the namorix:// URL scheme for this user (so that
# `xdg-open 'namorix://rename?paths=/tmp/a.pdf'` reaches the app), and starts Namorix.
# Arguments go to the app.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/build.sh
binary="${NAMORIX_BUILD_DIR:-build}/src/namorix"
bash scripts/register-scheme.sh "$binary"
exec "$binary" "$@"
