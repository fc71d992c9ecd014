#!/usr/bin/env bash
# The user registration of run-app.sh makes xdg-open hand a namorix:// URL to the registered
# binary. (Validators, the scheme's MimeType line and the installed files: debian_package.)
#   check-desktop-integration.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
grep -qx 'Exec=namorix %U' "$source_dir/data/namorix.desktop"

# A stand-in for the binary that records what it was started with.
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >"%s/started-with"\n' "$tmp" >"$tmp/namorix"
chmod +x "$tmp/namorix"
export HOME=$tmp XDG_DATA_HOME=$tmp/data XDG_CONFIG_HOME=$tmp/config DISPLAY=${DISPLAY:-:0}
bash "$source_dir/scripts/register-scheme.sh" "$tmp/namorix"
[ "$(xdg-mime query default x-scheme-handler/namorix)" = namorix.desktop ]
xdg-open 'namorix://rename?paths=/tmp/a.pdf,/tmp/b.pdf'
for _ in $(seq 50); do [ -s "$tmp/started-with" ] && break; sleep 0.1; done
[ "$(cat "$tmp/started-with")" = 'namorix://rename?paths=/tmp/a.pdf,/tmp/b.pdf' ] ||
    { echo "xdg-open started: $(cat "$tmp/started-with" 2>/dev/null)" >&2; exit 1; }
echo "desktop integration: ok"
