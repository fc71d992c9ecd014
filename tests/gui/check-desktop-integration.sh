#!/usr/bin/env bash
# The user registration of run-app.sh makes xdg-open hand a namorix:// URL to the registered
# binary, and the Nautilus entry hands the selected files to it. (Validators, the MimeType line
# and the installed files, the other file managers' entries among them: debian_package.)
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

# The Nautilus entry, loaded by the real bindings: it offers itself for local files, leaves out
# what has no path, and starts the binary with the paths after "--" (a name may start with "-").
rm -f "$tmp/started-with"
PATH="$tmp:$PATH" /usr/bin/python3 - "$source_dir/data/filemanagers/namorix-nautilus.py" <<'PY'
import importlib.util
import sys

from gi.repository import Gio

spec = importlib.util.spec_from_file_location("namorix_nautilus", sys.argv[1])
extension = importlib.util.module_from_spec(spec)
spec.loader.exec_module(extension)


class Selected:
    """What Nautilus hands the menu: an item with a location."""

    def __init__(self, uri):
        self.location = Gio.File.new_for_uri(uri)

    def get_location(self):
        return self.location


menu = extension.NamorixMenu()
assert menu.get_file_items([Selected("trash:///x.pdf")]) == []
items = menu.get_file_items([Selected("file:///tmp/-a%20b.pdf"), Selected("trash:///x.pdf"),
                             Selected("file:///tmp/c")])
assert [item.props.label for item in items] == ["Mit Namorix umbenennen"], items
items[0].activate()
PY
for _ in $(seq 50); do [ -s "$tmp/started-with" ] && break; sleep 0.1; done
[ "$(cat "$tmp/started-with")" = "$(printf -- '--\n/tmp/-a b.pdf\n/tmp/c')" ] ||
    { echo "the Nautilus entry started: $(cat "$tmp/started-with" 2>/dev/null)" >&2; exit 1; }
echo "desktop integration: ok"
