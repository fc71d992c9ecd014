#!/usr/bin/env bash
# Only the extraction helper may need a parser library.
#   check-parserless.sh HELPER PROGRAM…
# Fails when a PROGRAM needs one (directly or through another library), or when HELPER needs
# none (then the pattern below no longer finds them).
set -uo pipefail
parsers='^lib(poppler|gsf|zip|gumbo|exiv2|heif|avformat|avcodec|avutil|avfilter|avdevice|swscale|swresample|tesseract|lept|gmime)[-.0-9]'

# The parser libraries `$1` needs, one a line; exits when ldd cannot read it.
needed() {
    local libraries
    if ! libraries=$(ldd "$1"); then
        echo "$1: not a program ldd can read" >&2
        exit 1
    fi
    awk '{ print $1 }' <<<"$libraries" | grep -E "$parsers" || true
}

helper="$1"
shift
found=$(needed "$helper") || exit 1
if [ -z "$found" ]; then
    echo "$helper needs no parser library: the check does not find them any more" >&2
    exit 1
fi
status=0
for program in "$@"; do
    found=$(needed "$program") || exit 1
    if [ -n "$found" ]; then
        echo "$program needs parser libraries:" $found >&2
        status=1
    else
        echo "$program: no parser library"
    fi
done
exit $status
