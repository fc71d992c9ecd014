#!/usr/bin/env bash
# Makes the README's screenshots: the end-to-end drive on a virtual display, once in GTK's light
# and once in its dark theme (Qt reads the palette through its GTK platform theme, as on GNOME),
# then copies the review list (a row selected, with and without the differences), the history at
# the window's first size (900×600) and the sections into docs/screenshots/; and the
# whole output of a headless Weston with the window on it, from the same drive on Wayland.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! dpkg -s qt6-gtk-platformtheme >/dev/null 2>&1; then
    apt-get update -qq && apt-get install -y -qq qt6-gtk-platformtheme
fi
bash scripts/build.sh
stub=$(find build/tests -name llmstub_server -type f -perm -u+x | head -1)
for theme in light dark; do
    shots=build/screenshots-$theme
    rm -rf "$shots"
    gtk_theme=Adwaita
    [[ $theme == dark ]] && gtk_theme=Adwaita:dark
    # NO_AT_BRIDGE: GTK's own accessibility bridge would put a second, empty "namorix" on the bus.
    NO_AT_BRIDGE=1 QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=$gtk_theme QT_QPA_PLATFORM=xcb \
        tests/gui/run-gui-test.sh gui_endtoend.py "$PWD/build/src/namorix" "$PWD/$stub" "$PWD/$shots"
    cp "$shots/files-selected.png" "docs/screenshots/review-$theme.png"
    cp "$shots/files-nodiff.png" "docs/screenshots/review-nodiff-$theme.png"
    cp "$shots/history.png" "docs/screenshots/history-$theme.png"
done
# The tray panel from its widget test, which draws it in a light and a dark palette.
(cd build && QT_QPA_PLATFORM=offscreen ctest -R tst_traypanel >/dev/null)
cp build/screenshots/tray-panel.png docs/screenshots/tray-panel-light.png
cp build/screenshots/tray-panel-dark.png docs/screenshots/tray-panel-dark.png
cp build/screenshots-light/files-renamed.png docs/screenshots/files.png
for name in templates watch; do
    cp "build/screenshots-light/$name.png" docs/screenshots/
done
rm -rf build/screenshots-wayland
tests/gui/run-gui-test.sh --wayland gui_endtoend.py "$PWD/build/src/namorix" "$PWD/$stub" "$PWD/build/screenshots-wayland"
cp build/screenshots-wayland/wayland.png docs/screenshots/
echo "screenshots in docs/screenshots/"
