#!/usr/bin/env bash
# Installs swagger-ui-dist at the version package-lock.json fixes into <build folder>, for the
# docs page the app compiles in. Install scripts stay off (the package pulls in a telemetry one).
# Usage: install.sh <npm> <source folder> <build folder> <files the build needs...>
set -euo pipefail
npm=$1 source=$2 target=$3
shift 3
mkdir -p "$target"
cp "$source/package.json" "$source/package-lock.json" "$target/"
if ! SCARF_ANALYTICS=false "$npm" ci --prefix "$target" --ignore-scripts --no-audit --no-fund --loglevel=error; then
    echo "error: npm could not install swagger-ui-dist (for GET /v1/docs) into $target." >&2
    echo "       Without network, configure with -DNAMORIX_SWAGGER_UI_DIR=<an installed swagger-ui-dist folder>." >&2
    exit 1
fi
for file in "$@"; do
    if [ ! -s "$target/node_modules/swagger-ui-dist/$file" ]; then
        echo "error: swagger-ui-dist has no $file; package-lock.json names a version without it." >&2
        exit 1
    fi
    touch "$target/node_modules/swagger-ui-dist/$file" # npm dates its files 1985: the build would redo this every time
done
