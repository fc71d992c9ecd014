#!/usr/bin/env bash
# Installs every Debian 12 package Namorix needs to build, run and test.
# Idempotent: packages already present are skipped, and apt is not touched at all
# when nothing is missing.
#   --bench   also the reference tools the benchmarks compare against (and the load generator)
#   --fuzz    also clang and its fuzzer runtime
set -euo pipefail

packages=(
    # toolchain
    g++ cmake ninja-build pkg-config ccache clang-format
    # Qt 6 and QCoro
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libqt6sql6-sqlite libgl-dev qcoro-qt6-dev
    # the window: string-table compiler, SVG icons, Qt's own German texts (dialogs, text-field menus)
    qt6-l10n-tools libqt6svg6 qt6-translations-l10n
    # Unicode
    libicu-dev
    # fonts for rendering text (test documents, the UI)
    fonts-dejavu-core
    # content extraction
    libpoppler-qt6-dev libtesseract-dev libleptonica-dev tesseract-ocr-deu tesseract-ocr-eng
    # script detection (which script a picture no installed language reads is in)
    tesseract-ocr-osd
    libzip-dev libgumbo-dev libgsf-1-dev libexiv2-dev libavformat-dev libavcodec-dev libavutil-dev
    # e-mail (MIME, encoded words, charsets), read in the extraction helper
    libgmime-3.0-dev
    # the extraction helper locks itself in with a seccomp filter
    libseccomp-dev
    # TIFF and WebP through Qt's image plugins; HEIF/HEIC through libheif
    qt6-image-formats-plugins libheif-dev
    # credentials: the Secret Service client, and a keyring daemon on a private bus for the tests
    libsecret-1-dev gnome-keyring dbus
    # test fixtures (audio and video files are made with the ffmpeg CLI, HEIC files with heif-enc,
    # hybrid e-invoice PDFs with qpdf's --add-attachment)
    ffmpeg libheif-examples qpdf
    # desktop integration: URL scheme registration, the checks of the .desktop and AppStream files,
    # and the Nautilus extension's bindings
    xdg-utils desktop-file-utils appstream python3-nautilus
    # the manual page of namorix-cli, from its scdoc source
    scdoc
    # the GUI end-to-end test: a virtual display, the accessibility bus and its Python client
    xvfb at-spi2-core python3-pyatspi
    # the window on Wayland (and the client library that asks the compositor for a seat), and a
    # headless compositor to run the end-to-end test under
    qt6-wayland libwayland-dev weston
)
# npm installs swagger-ui-dist for the API docs page at build time (src/api/swagger-ui), and the
# OpenAPI validator of the test step runs on Node.js; a node and npm from elsewhere will do
command -v node >/dev/null && command -v npm >/dev/null || packages+=(nodejs npm)
for arg in "$@"; do
    case "$arg" in
        --bench) packages+=(poppler-utils tesseract-ocr wrk nginx) ;;
        --fuzz) packages+=(clang libclang-rt-14-dev) ;;
        *) echo "install-deps: unknown option $arg" >&2; exit 2 ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all ${#packages[@]} packages present"
    exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
