#!/usr/bin/env bash
# Checks a built Debian package without installing it: control data with the dependencies
# dpkg-shlibdeps found, the files desktops look for, the launcher entry and AppStream data as
# shipped, and that the packaged binaries start against the system's libraries. Runs lintian
# when it is installed (it is not among the project's dependencies: it pulls in some sixty Perl
# packages).
#   check-package.sh PACKAGE.deb
#   check-package.sh --cpack BUILD_DIR    packages BUILD_DIR (already built) first, into a temporary folder
set -euo pipefail
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

if [ "${1:-}" = --cpack ]; then
    (cd "$2" && cpack -G DEB -B "$tmp/out" >"$tmp/cpack.log") || { cat "$tmp/cpack.log" >&2; exit 1; }
    set -- "$tmp"/out/namorix_*.deb
fi
package=$1
fail() { echo "check-package: $*" >&2; exit 1; }

info=$(dpkg-deb --info "$package")
grep -q '^ Package: namorix$' <<<"$info" || fail "package name is not namorix"
# Dependencies computed by dpkg-shlibdeps carry versions of the libraries linked against.
grep -Eq '^ Depends: .*libqt6widgets6 \(>= [^)]+\)' <<<"$info" || fail "no computed dependency on Qt Widgets"
grep -q 'libqt6sql6-sqlite' <<<"$info" || fail "the SQLite plugin is not a dependency"

contents=$(dpkg-deb --contents "$package" | awk '{print $NF}')
for f in ./usr/bin/namorix ./usr/bin/namorix-extract ./usr/share/applications/namorix.desktop \
    ./usr/share/icons/hicolor/scalable/apps/namorix.svg ./usr/share/metainfo/org.namorix.Namorix.metainfo.xml \
    ./usr/share/doc/namorix/copyright ./usr/share/kio/servicemenus/namorix.desktop \
    ./usr/share/nemo/actions/namorix.nemo_action ./usr/share/nautilus-python/extensions/namorix.py \
    ./usr/bin/namorix-cli ./usr/share/bash-completion/completions/namorix-cli ./usr/share/man/man1/namorix-cli.1.gz; do
    grep -qx -- "$f" <<<"$contents" || fail "not in the package: $f"
done

dpkg-deb -x "$package" "$tmp/root"
desktop-file-validate "$tmp/root/usr/share/applications/namorix.desktop"
grep -q '^MimeType=x-scheme-handler/namorix;.*application/pdf;' "$tmp/root/usr/share/applications/namorix.desktop" ||
    fail "the launcher entry does not register the namorix:// scheme and the file types"
# "Mit Namorix umbenennen" hands the selection to the window, in Dolphin and in Nemo alike.
for entry in kio/servicemenus/namorix.desktop nemo/actions/namorix.nemo_action; do
    grep -qx 'Exec=namorix %F' "$tmp/root/usr/share/$entry" || fail "$entry does not hand the files over"
done
appstreamcli validate --no-net "$tmp/root/usr/share/metainfo/org.namorix.Namorix.metainfo.xml"
version=$(QT_QPA_PLATFORM=offscreen "$tmp/root/usr/bin/namorix" --version)
[ "$version" = "namorix $(dpkg-deb --field "$package" Version)" ] || fail "the packaged binary says: $version"
cli_version=$("$tmp/root/usr/bin/namorix-cli" --version)
[ "$cli_version" = "namorix-cli $(dpkg-deb --field "$package" Version)" ] || fail "the packaged namorix-cli says: $cli_version"
bash -n "$tmp/root/usr/share/bash-completion/completions/namorix-cli" || fail "the bash completion does not parse"
# The helper that reads files starts too (its libraries resolve), and refuses to run without the app.
status=0
"$tmp/root/usr/bin/namorix-extract" 3<&- 2>/dev/null || status=$?
[ "$status" = 2 ] || fail "the packaged extraction helper does not start (status $status)"

if command -v lintian >/dev/null; then
    lintian --fail-on error "$package"
else
    echo "check-package: lintian is not installed, skipped"
fi
echo "check-package: $(basename "$package") ok"
